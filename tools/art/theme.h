#pragma once
// The colours of the program's look: light panels with dark ink on a deep slate backdrop, one calm
// blue accent. Palette swatches (atlas_table.h) repeat the ones the code draws text in.

#include "art/canvas.h"

namespace art::theme {

inline Colour backdrop() { return hex("#2F4156"); }      // palette slot 39
inline Colour backdrop_line() { return hex("#3A4E66"); }
inline Colour panel() { return hex("#F2F4F7"); }
inline Colour panel_edge() { return hex("#9FAEBE"); }
inline Colour group() { return hex("#E7EBF0"); }
inline Colour group_edge() { return hex("#C3CCD6"); }
inline Colour field() { return hex("#FFFFFF"); }
inline Colour field_edge() { return hex("#A7B4C2"); }
inline Colour field_shade() { return hex("#E6EAEF"); }
inline Colour control() { return hex("#F8FAFC"); }
inline Colour control_edge() { return hex("#A3B1C0"); }
inline Colour control_pressed() { return hex("#D9E6F4"); }
inline Colour groove() { return hex("#DCE2E9"); }
inline Colour groove_edge() { return hex("#B3BFCC"); }
inline Colour accent() { return hex("#2C6DB3"); }
inline Colour accent_dark() { return hex("#21558D"); }
inline Colour accent_light() { return hex("#5A8FCB"); }
inline Colour ink() { return hex("#1D2935"); }
inline Colour ink_soft() { return hex("#5D6E80"); }
inline Colour dark_panel() { return hex("#2E3F52"); }
inline Colour dark_panel_edge() { return hex("#1C2734"); }
inline Colour shadow(float alpha) { return hex("#0B1520", alpha); }

}  // namespace art::theme
