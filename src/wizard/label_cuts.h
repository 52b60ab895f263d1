#pragma once
// Where the bottom-bar labels lie in elements_<Language>.png: x of cut c for language lang, in
// pixels of the 1024-pixel-wide art; label n spans cuts n to n+1. Languages in the order English,
// French, German, Russian, Italian, Spanish; labels 0 Quit, 1 Back, 2 Next, 3 select every map
// tile, 4 clear every map tile, 5 Order, 6 Preferences. The art tool paints from the same table.
// Italian's Back is 78 pixels wide: a wider one would reach into Order's frame in the bottom bar.
inline constexpr int btn_cuts[8][6] = {
    {0, 0, 0, 0, 0, 0},
    {56, 91, 96, 75, 54, 60},
    {145, 172, 181, 144, 132, 156},
    {246, 284, 256, 211, 232, 269},
    {357, 477, 422, 346, 480, 421},
    {489, 695, 611, 422, 673, 606},
    {605, 874, 762, 501, 840, 789},
    {691, 958, 859, 616, 921, 892},
};
