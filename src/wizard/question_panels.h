#pragma once
// The engine's two questions as modal panels (996 and 997) that run their own frames until a
// button answers them.

// Hands the panels to the engine (install/prompts.h); the program does it at start-up.
void offer_question_panels();
