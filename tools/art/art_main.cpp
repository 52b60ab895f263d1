// ventaro_art: paints the interface pictures into a folder.
//   ventaro_art <output folder> <folder holding DejaVuSans-Bold.ttf>
// Writes interface.png, background.png and elements_<Language>.png for the six languages.

#include <cstdio>
#include <string>

#include "art/atlas_table.h"
#include "art/painters.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ventaro_art <output folder> <font folder>\n");
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    const std::string font = std::string(argv[2]) + "/DejaVuSans-Bold.ttf";
    int failures = 0;
    auto save = [&](const art::Canvas& canvas, const std::string& name) {
        if (!art::write_png(canvas, out + name)) {
            std::fprintf(stderr, "ventaro_art: cannot write %s%s\n", out.c_str(), name.c_str());
            ++failures;
        }
    };
    save(art::paint_atlas(), "interface.png");
    save(art::paint_background(), "background.png");
    art::Face bold(font);
    if (!bold.ok()) {
        std::fprintf(stderr, "ventaro_art: cannot open the font %s\n", font.c_str());
        return 1;
    }
    for (size_t lang = 0; lang < art::languages.size(); ++lang) {
        std::string problem;
        const art::Canvas canvas = art::paint_elements(static_cast<int>(lang), bold, problem);
        if (!problem.empty()) {
            std::fprintf(stderr, "ventaro_art: %s\n", problem.c_str());
            ++failures;
            continue;
        }
        save(canvas, std::string("elements_") + art::languages[lang] + ".png");
    }
    return failures ? 1 : 0;
}
