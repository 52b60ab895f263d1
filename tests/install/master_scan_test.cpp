// The walk of the master folder: what stops a build, which files ship in a web set and which
// in a disc set, and the order the files are met in.
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "install/master_scan.h"
#include "builder_fixture.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

struct crash_case {
    const char* what;
    int type;
    std::function<void(const std::string& master)> mutate;
    alert_lines lines;   // "{M}" stands for the master folder
};

std::string with_master(std::string s, const std::string& master) {
    for (size_t at; (at = s.find("{M}")) != std::string::npos;) s.replace(at, 3, master);
    return s;
}

const alert_lines kNotAFolder = {"rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                                 "dir_file_types[n] == tFOL", "pref_level", "Please report this to Quillon Research."};

TEST_F(BuilderTest, EachFlawOfTheMasterFolderStopsTheBuildWithItsAlert) {
    const std::vector<crash_case> cases = {
        {"a stray file in the plug-in folder", 0,
         [](const std::string& m) { write_file(m + "All/Resources/plugins/Notes.txt", "notes"); },
         {"ERROR: I found a file in a restricted folder, and it should not be there.", "Resources/plugins/",
          "Resources/plugins/Notes.txt",
          "Either this is a NEW file and the installer maker must be modified, OR perhaps this file should be nuked!"}},
        {"All is a file", 0,
         [](const std::string& m) {
             fs::remove_all(m + "All");
             write_file(m + "All", "x");
         },
         kNotAFolder},
        {"the global scenery is a file", 0,
         [](const std::string& m) {
             fs::remove_all(m + "All/Global Scenery");
             write_file(m + "All/Global Scenery", "x");
         },
         kNotAFolder},
        {"a folder name ending in a blank", 0,
         [](const std::string& m) { write_file(m + "All/Aircraft/Cessna /c.acf", "c"); },
         {"YOU IDIOT!", "You tried to include a file or directory with a space at the end!",
          "Some systems drop the blank, and then the installers cannot find it.", "{M}All/Aircraft/Cessna /"}},
        {"a colon", 0, [](const std::string& m) { write_file(m + "All/Aircraft/a:b.acf", "x"); },
         {"YOU IDIOT!", "found a  : in the path!", "{M}All/Aircraft/a:b.acf", ""}},
        {"a backslash", 0, [](const std::string& m) { write_file(m + "All/Aircraft/a\\b.acf", "x"); },
         {"YOU IDIOT!", "found a \\ in the path!", "{M}All/Aircraft/a\\b.acf", ""}},
        {"a folder the All folder may not hold", 0,
         [](const std::string& m) { write_file(m + "All/Scenery/x.txt", "x"); },
         {"What the hell is THIS doing in here!?!?!?", "Scenery", "{M}All/Scenery/", "Scenery/"}},
        // The customer's file lies in a folder the All folder may not hold: the walk stops there.
        {"the customer file", 0,
         [](const std::string& m) { write_file(m + "All/Resources-KVR/ac_threat.dat", "x"); },
         {"What the hell is THIS doing in here!?!?!?", "Resources-KVR", "{M}All/Resources-KVR/", "Resources-KVR/"}},
        {"a copy", 0, [](const std::string& m) { write_file(m + "All/Instructions/readme copy.txt", "x"); },
         {"YOU IDIOT!", "found a copy file!", "{M}All/Instructions/readme copy.txt", ""}},
        {"a source file", 0, [](const std::string& m) { write_file(m + "All/Resources/tool.cpp", "x"); },
         {"YOU IDIOT!", "found a .cpp file!", "{M}All/Resources/tool.cpp", ""}},
        {"an upper-case source file", 0, [](const std::string& m) { write_file(m + "All/Resources/TOOL.CPP", "x"); },
         {"YOU IDIOT!", "found a .CPP file!", "{M}All/Resources/TOOL.CPP", ""}},
        {"a file in the All folder", 0, [](const std::string& m) { write_file(m + "All/loose.txt", "x"); },
         {"YOU IDIOT!", "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", "{M}All/loose.txt",
          ""}},
        {"a required plug-in missing", 0,
         [](const std::string& m) { fs::remove(m + "All/Resources/plugins/DataRefs.txt"); },
         {"A required file is missing.", "That file is:", "Resources/plugins/DataRefs.txt", ""}},
        {"no weapons folder", 0, [](const std::string& m) { fs::remove_all(m + "All/Weapons"); },
         {"YOU IDIOT!", "!found_wpn_fold", "{M}All/Weapons/", ""}},
        {"no Linux folder", 0, [](const std::string& m) { fs::remove_all(m + "Linux"); },
         {"YOU IDIOT!", "!found_X86_fold", "{M}Linux/", ""}},
        {"a disc set without the global scenery", 1, [](const std::string& m) { fs::remove_all(m + "All/Global Scenery"); },
         {"YOU IDIOT!", "!found_glo_fold", "{M}All/Global Scenery/", ""}},
        {"a disc set without the red terrain", 1,
         [](const std::string& m) { fs::remove_all(m + "All/Resources/default scenery/900 red terrain"); },
         {"YOU IDIOT!", "!found_redt\t ", "{M}All/Resources/default scenery/900 red terrain/", ""}},
        {"a file that cannot be read", 0,
         [](const std::string& m) { ASSERT_EQ(::mkfifo((m + "All/Resources/pipe.dat").c_str(), 0644), 0); },
         {"ERROR: could not read a file of the master folder!", "{M}All/Resources/pipe.dat", "", ""}},
    };
    for (const crash_case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(t / "master");
        fs::remove_all(t / "out");
        lay_out();
        c.mutate(master());
        alert_lines want;
        for (int i = 0; i < 4; ++i) want[i] = with_master(c.lines[i], master());
        EXPECT_EQ(crash_of(c.type), want);
    }
}

// What a release engineer leaves in the master that the walk passes over.
TEST_F(BuilderTest, HiddenNamesAndCvsFoldersPassAndTheGlobalSceneryIsOnlyNeededOnDisc) {
    lay_out();
    write_file(master() + "All/Instructions/.notes copy.txt", "never listed, so never a copy");
    write_file(master() + "All/Resources/plugins/CVS/Entries", "kept by the version control");
    write_file(master() + "All/Resources/plugins/.DS_Store", "hidden");
    write_file(master() + "All/Resources/bitmaps/interface/copy.png", "the copy button");
    fs::remove_all(master() + "All/Global Scenery");
    build(0);
    EXPECT_TRUE(fs::exists(web_set() + "directory.txt.zip"));
    EXPECT_TRUE(fs::exists(web_set() + "All/Resources/plugins/CVS/Entries.zip"));
    EXPECT_TRUE(fs::exists(web_set() + "All/Resources/bitmaps/interface/copy.png.zip"));
    EXPECT_FALSE(fs::exists(web_set() + "All/Instructions/.notes copy.txt.zip"));
    EXPECT_EQ(std::count_if(comp_files.begin(), comp_files.end(),
                            [](const std::string& f) { return f.find("/.") != std::string::npos; }),
              0);
}

TEST_F(BuilderTest, ShippingRulesOfWebAndDiscSets) {
    struct row {
        const char* path;   // below the master folder
        int web, disc;
    };
    const row rows[] = {
        {"All/Aircraft/Cessna/c172.acf", 1, 1},
        {"All/Aircraft/Cessna/c172.ac", 0, 0},
        {"All/Resources/network.cfg", 0, 0},            // "work." anywhere
        {"All/Aircraft/iphone/a.acf", 0, 0},
        {"All/Aircraft/IPHONE.txt", 0, 0},
        {"All/Resources/sounds.7z", 0, 0},
        {"All/Resources/._sounds", 0, 0},
        {"All/Resources/Thumbs.db", 0, 0},
        {"All/Output/preferences/Ventaro.prf", 0, 0},
        {"All/Output/preferences/set.txt", 0, 0},
        {"All/Output/situations/a.sit", 0, 0},
        {"All/Output/log.txt", 1, 1},
        {"All/Resources/serverlist.txt", 0, 0},
        {"All/Custom Scenery/x.dsf.txt", 0, 0},
        {"All/Resources/old.bak", 0, 0},
        {"All/install_pfc Aircraft/a.acf", 0, 0},
        {"All/Resources/default scenery/900 red terrain/a.dsf", 0, 1},
        {"All/Resources/bitmaps/Earth Orbit Textures/moon.png", 0, 1},
        {"All/Global Scenery/-global terrain-/+40-120.dsf", 0, 1},
        {"All/Global Scenery/-global overlays-/+40-120.dsf", 0, 1},
        {"All/Global Scenery/readme.txt", 1, 1},
        {"All/Custom Scenery/DSF 900 Corvel World-Wide/+40-120.dsf", 0, 0},
        {"All/Custom Scenery/DSF 900 Pellin World-Wide/+40-120.dsf", 0, 0},
        {"All/Custom Scenery/KSEA Demo Area/Earth nav data/apt.dat", 1, 1},
    };
    src_fold = master();
    for (const row& r : rows) {
        for (const int type : {0, 1}) {
            build_type = type;
            EXPECT_EQ(is_good_file(master() + r.path, 0, 0), type == 0 ? r.web : r.disc)
                << r.path << (type == 0 ? " (web)" : " (disc)");
        }
    }
    build_type = 2;
    EXPECT_EXIT(
        {
            if (::chdir(t.path().c_str()) != 0) std::_Exit(9);
            is_good_file(master() + "All/Aircraft/a.acf", 0, 0);
        },
        ::testing::KilledBySignal(SIGABRT), "I can not tell what type of install this is!");
    build_type = 0;
}

TEST_F(BuilderTest, PlatformFoldersComeBeforeAllAndTheGlobalSceneryLast) {
    set.files.push_back({"All/Global Scenery/readme.txt", "g", false, {}});
    set.files.push_back({"All/Custom Scenery/KSEA/earth.wed", "w", false, {}});
    lay_out();
    build(0);
    std::vector<std::string> tops;
    for (const std::string& f : comp_files) {
        // The platform folder, or the folder of the All folder.
        const std::string rel = f.substr(master().size());
        const size_t first = rel.find('/');
        const std::string top = rel.substr(0, rel.compare(0, 4, "All/") == 0 ? rel.find('/', first + 1) : first);
        if (tops.empty() || tops.back() != top) tops.push_back(top);
    }
    const std::vector<std::string> want = {"Linux", "Macintosh", "Windows", "All/Aircraft", "All/Airfoils",
                                           "All/Custom Scenery", "All/Instructions", "All/Output", "All/Resources",
                                           "All/Weapons", "All/Global Scenery"};
    EXPECT_EQ(tops, want);
}

}  // namespace
