#pragma once
// The drawing fixture with text: the two faces and the program's art from the bundle.
#include "draw_fixture.h"
#include "ui/tt_font.h"

namespace drawtest {

// What a window test that draws the program's art and text needs: the fonts and the art from the
// bundle, and the sine and cosine tables.
inline void link_art_resources() {
    link_bundle_resources({"DejaVuSans.ttf", "DejaVuSansBold.ttf", "interface.png", "map.png", "background.png",
                           "elements_English.png"});
    fill_degree_tables();
}

// The same with the two faces from the bundle, emptied before and after each test.
class RecordedText : public RecordedDraw {
protected:
    void SetUp() override {
        link_bundle_resources({"DejaVuSans.ttf", "DejaVuSansBold.ttf"});
        RecordedDraw::SetUp();
        TT_reset_font(tt_both);
    }
    void TearDown() override {
        mnw.lang = 0;
        TT_reset_font(tt_both);
        RecordedDraw::TearDown();
    }
};

}  // namespace drawtest
