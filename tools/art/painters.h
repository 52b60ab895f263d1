#pragma once
// The art tool's painters, one per picture.

#include <string>

#include "art/canvas.h"
#include "art/text.h"

namespace art {

Canvas paint_atlas();
Canvas paint_background();
// Paints the bottom-bar picture of language index lang with the bold face. Writes a note to
// problem and returns an empty canvas when a label cannot be made to fit its cut.
Canvas paint_elements(int lang, Face& bold, std::string& problem);

}  // namespace art
