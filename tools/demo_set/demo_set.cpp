#include "demo_set/demo_set.h"

#include <random>
#include <string>

namespace {

// The simulator's stand-in: it leaves a mark in its copy's Output folder and says it started.
const char* const kStub =
    "#!/bin/sh\n"
    "# The web demo's stand-in for the simulator.\n"
    "app=$(cd \"$(dirname \"$0\")/../..\" && pwd)\n"
    "copy=$(dirname \"$app\")\n"
    "mkdir -p \"$copy/Output\"\n"
    "echo \"Ventaro 9 web demo started: $*\" > \"$copy/Output/demo started.txt\"\n"
    "echo \"This is the Ventaro 9 web demo, installed at $copy/\"\n";

const char* const kInfoPlist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\">\n<dict>\n"
    "  <key>CFBundleExecutable</key>\n  <string>Ventaro</string>\n"
    "  <key>CFBundleName</key>\n  <string>Ventaro 9 Demo</string>\n"
    "</dict>\n</plist>\n";

// Bytes that do not compress, so the archives are as large as the files.
std::string noise(std::mt19937& rng, size_t size) {
    std::string s(size, '\0');
    for (auto& ch : s) ch = (char)rng();
    return s;
}

std::string text_lines(const std::string& what, size_t size) {
    std::string s;
    for (size_t k = 0; s.size() < size; ++k) s += what + " line " + std::to_string(k) + "\n";
    return s;
}

testsupport::set_file file(const std::string& path, std::string bytes) {
    testsupport::set_file f;
    f.path = path;
    f.bytes = std::move(bytes);
    return f;
}

}  // namespace

const char* const demo_set_install_name = "Ventaro 9 Web Demo";

testsupport::install_set demo_install_set() {
    std::mt19937 rng(9);
    testsupport::install_set set{demo_set_install_name, {}};
    set.files.push_back(file("Macintosh/Ventaro.app/Contents/MacOS/Ventaro", kStub));
    set.files.push_back(file("Macintosh/Ventaro.app/Contents/Info.plist", kInfoPlist));
    set.files.push_back(file("All/Instructions/Read Me.txt",
                             "Ventaro 9 web demo\n\nThis small install set exercises the installer against "
                             "local mirrors. Starting Ventaro.app writes Output/demo started.txt.\n"));
    for (int i = 0; i < 6; ++i)
        set.files.push_back(file("All/Airfoils/demo " + std::to_string(i) + ".afl", text_lines("airfoil " + std::to_string(i), 2000 + 900 * i)));
    // A spread of sizes, from an empty file to two megabytes, so the streams finish at different times.
    const size_t sizes[] = {0, 1, 999, 4096, 20000, 65536, 150000, 400000, 1000000, 2000000};
    int n = 0;
    for (size_t size : sizes)
        set.files.push_back(file("All/Resources/data/block " + std::to_string(n++) + ".bin", noise(rng, size)));
    for (int i = 0; i < 24; ++i)
        set.files.push_back(file("All/Resources/text/sub" + std::to_string(i % 4) + "/notes " + std::to_string(i) + ".txt",
                                 text_lines("note " + std::to_string(i), 500 + 3000 * (size_t)i)));
    return set;
}

