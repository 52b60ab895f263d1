#pragma once
// Reading a translation file. Each entry is checked against its English source, labels included,
// before it is stored in the translation tables.

// Makes a language 1-5 current and reads its translation file; English uses UTL_translate_clear.
void UTL_translate_load(int index);
