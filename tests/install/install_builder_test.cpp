// The install-set builder: the manifest it writes with each file's history, the disc set's
// disks, what stops a build, and a set that is the same bytes whatever the number of threads.
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <map>

#include "files/archives.h"
#include "files/error_codes.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "builder_fixture.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// The text of a zipped "directory.txt", unzipped by the engine's own reader.
std::string manifest_in(const std::string& set_folder, const temp_dir& scratch) {
    EXPECT_EQ(zip_to_file(set_folder + "directory.txt.zip", scratch.path() + "/", nullptr, 0), 0);
    return read_file(scratch / "directory.txt");
}

// Replaces every "<token>" by the MD5 the map gives for it.
std::string with_digests(std::string text, const std::map<std::string, std::string>& digests) {
    for (const auto& [token, md5] : digests)
        for (size_t at; (at = text.find("<" + token + ">")) != std::string::npos;) text.replace(at, token.size() + 2, md5);
    return text;
}

// Every file below a folder with its bytes.
std::map<std::string, std::string> tree_of(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) out[e.path().string().substr(folder.size())] = read_file(e.path().string());
    return out;
}

// The plug-ins of the skeleton in the manifest, in the order the walk meets them.
const char* const kPluginLines =
    "\nDIR All/Resources/plugins/\n"
    "FILE 0 0 100001 0 0 <Commands.txt> Commands.txt\n"
    "FILE 0 0 100001 0 0 <DataRefs.txt> DataRefs.txt\n"
    "\nDIR All/Resources/plugins/PluginAdmin/\n"
    "FILE 0 0 100001 0 0 <lin.vnp> lin.vnp\n"
    "FILE 0 0 100001 0 0 <mac.vnp> mac.vnp\n"
    "FILE 0 0 100001 0 0 <win.vnp> win.vnp\n"
    "\nDIR All/Resources/plugins/\n"
    "FILE 0 2 100001 0 0 <VNLM.dll> VNLM.dll\n"
    "\nDIR All/Resources/plugins/VNLM.framework/\n"
    "FILE 0 1 100001 0 0 <VNLM> VNLM\n"
    "\nDIR All/Resources/plugins/\n"
    "FILE 0 1 100001 0 0 <VNLM.shlb> VNLM.shlb\n"
    "FILE 0 6 100001 0 0 <VNLM.so> VNLM.so\n"
    "FILE 0 2 100001 0 0 <VNWidgets.dll> VNWidgets.dll\n"
    "\nDIR All/Resources/plugins/VNWidgets.framework/\n"
    "FILE 0 1 100001 0 0 <VNWidgets> VNWidgets\n"
    "\nDIR All/Resources/plugins/\n"
    "FILE 0 1 100001 0 0 <VNWidgets.shlb> VNWidgets.shlb\n"
    "FILE 0 6 100001 0 0 <VNWidgets.so> VNWidgets.so\n";

// A release after the one whose manifest is given: a file unchanged, one changed, one that comes
// back after it was removed, one removed now, one removed before, one spelt in another case, one
// moved from All to Macintosh, an empty one and a new one; the red terrain a web set leaves out.
TEST_F(BuilderTest, TheWebManifestCarriesEachFilesHistoryFromThePreviousRelease) {
    set.files = {
        {"Macintosh/Instructions/manual.txt", "manual", false, {}},
        {"All/Aircraft/a.acf", "a1", false, {}},
        {"All/Aircraft/b.acf", "b1", false, {}},
        {"All/Aircraft/case.acf", "g1", false, {}},
        {"All/Airfoils/c.afl", "c1", false, {}},
        {"All/Airfoils/empty.afl", "", false, {}},
        {"All/Airfoils/new.afl", "new", false, {}},
    };
    lay_out();
    const std::string previous_text =
        "I\n900 version\nINSTALLER\n\n"
        "DIR All/Aircraft/\n"
        "FILE 0 0 3 12 34 <a0> a.acf\n"
        "FILE 0 0 7 12 35 <a1> a.acf\n"
        "FILE 0 0 3 1 2 <b0> b.acf\n"
        "FILE 0 0 4 1 1 <g0> Case.acf\n"
        "\nDIR All/Airfoils/\n"
        "FILE 0 0 2 5 6 <c0> c.afl\n"
        "FILE 0 0 5 0 0 GONE c.afl\n"
        "FILE 0 0 6 0 0 <> empty.afl\n"
        "\nDIR All/Instructions/\n"
        "FILE 0 0 1 3 4 <manual> manual.txt\n"
        "\nDIR All/Weapons/\n"
        "FILE 0 0 2 8 9 <d0> gone.wpn\n"
        "FILE 0 0 1 2 2 <e0> old gone.wpn\n"
        "FILE 0 0 4 0 0 GONE old gone.wpn\n"
        "\nDIR All/Resources/default scenery/900 red terrain/\n"
        "FILE 0 0 1 10 20 <r0> +40-120.dsf\n";
    std::map<std::string, std::string> digests;
    for (const char* bytes : {"a0", "a1", "b0", "b1", "g0", "g1", "c0", "c1", "", "manual", "new", "d0", "e0", "r0"})
        digests[bytes] = md5_hex(bytes);
    for (const set_file& f : master_skeleton()) digests[f.path.substr(f.path.rfind('/') + 1)] = md5_hex(f.bytes);
    write_file(previous(), with_digests(previous_text, digests));

    build(0);

    const std::string want =
        "I\n900 version\nINSTALLER\n\n"
        "\nDIR Macintosh/Instructions/\n"
        "FILE 0 1 100001 0 0 <manual> manual.txt\n"
        "\nDIR All/Aircraft/\n"
        "FILE 0 0 3 12 34 <a0> a.acf\n"
        "FILE 0 0 100001 0 0 <a1> a.acf\n"
        "FILE 0 0 3 1 2 <b0> b.acf\n"
        "FILE 0 0 100001 0 0 <b1> b.acf\n"
        "FILE 0 0 4 1 1 <g0> case.acf\n"
        "FILE 0 0 100001 0 0 <g1> case.acf\n"
        "\nDIR All/Airfoils/\n"
        "FILE 0 0 2 5 6 <c0> c.afl\n"
        "FILE 0 0 100001 0 0 <c1> c.afl\n"
        "FILE 0 0 100001 0 0 <> empty.afl\n"
        "FILE 0 0 100001 0 0 <new> new.afl\n" +
        std::string(kPluginLines) +
        "\nDIR All/Instructions/\n"
        "FILE 0 0 1 3 4 <manual> manual.txt\n"
        "FILE 0 0 100001 0 0 GONE manual.txt\n"
        "\nDIR All/Weapons/\n"
        "FILE 0 0 2 8 9 <d0> gone.wpn\n"
        "FILE 0 0 100001 0 0 GONE gone.wpn\n"
        "FILE 0 0 1 2 2 <e0> old gone.wpn\n"
        "FILE 0 0 4 0 0 GONE old gone.wpn\n";
    temp_dir scratch;
    EXPECT_EQ(manifest_in(web_set(), scratch), with_digests(want, digests));
    EXPECT_FALSE(fs::exists(web_set() + "directory.txt"));
    EXPECT_EQ(read_file(out() + "dvd_version.txt"), "I\n900 version\nDVD\n\nVERSION " + version_string + "\n");
    // The empty file ships like any other.
    EXPECT_TRUE(fs::exists(web_set() + "All/Airfoils/empty.afl.zip"));

    // The installers' reader takes it as written.
    ASSERT_EQ(read_directory(scratch / "directory.txt"), 3);
    std::map<std::string, std::vector<std::string>> histories;
    for (const auto& h : sim_info)
        for (const auto& v : h.versions) histories[h.current().path].push_back(v.sig_want);
    EXPECT_EQ(histories["All/Airfoils/c.afl"], (std::vector<std::string>{digests["c0"], digests["c1"]}));
    EXPECT_EQ(histories["All/Weapons/gone.wpn"], (std::vector<std::string>{digests["d0"], "GONE"}));
    EXPECT_EQ(histories.count("All/Resources/default scenery/900 red terrain/+40-120.dsf"), 0u);
}

// The disc set's disks, scaled down a thousand times: archives of 5, 3 and 1 kilobytes against
// a disk of 7.67.
TEST_F(BuilderTest, ADiscSetEndsADiskWithTheFileThatTakesItPastItsSize) {
    set.files = {{"Linux/a.bin", random_bytes(5000, 1), false, {}},
                 {"Linux/b.bin", random_bytes(3000, 2), false, {}},
                 {"Linux/c.bin", random_bytes(1000, 3), false, {}}};
    lay_out();
    testing::internal::CaptureStdout();
    build(1, 7.67f);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Going to next disk - last file on disk 0 was b.bin\n");

    const std::string disk0 = out() + "disk_0/Ventaro Meridian/";
    const std::string disk1 = out() + "disk_1/Ventaro Meridian/";
    EXPECT_TRUE(fs::exists(disk0 + "Linux/a.bin.zip"));
    EXPECT_TRUE(fs::exists(disk0 + "Linux/b.bin.zip"));
    EXPECT_TRUE(fs::exists(disk1 + "Linux/c.bin.zip"));
    EXPECT_FALSE(fs::exists(disk0 + "Linux/c.bin.zip"));
    EXPECT_TRUE(fs::exists(disk1 + "All/Resources/plugins/Commands.txt.zip"));
    // Every shipped file's folders are ready on each of the six disks.
    EXPECT_TRUE(fs::is_directory(out() + "disk_5/Ventaro Meridian/All/Resources/plugins/PluginAdmin"));
    EXPECT_FALSE(fs::exists(out() + "disk_6"));
    // Each disk is known as a disc of the set by the same identification file.
    for (int disk = 0; disk < 6; ++disk)
        EXPECT_EQ(read_file(out() + "disk_" + std::to_string(disk) + "/dvd_version.txt"),
                  "I\n900 version\nDVD\n\nVERSION Ventaro Meridian\n")
            << disk;

    temp_dir scratch;
    const std::string text = manifest_in(disk0, scratch);
    const std::string b_line = "FILE 0 3 100001 3 3 " + md5_hex(set.files[1].bytes) + " b.bin\n";
    EXPECT_NE(text.find(b_line + "DISK 1\nFILE 0 3 100001 1 1 " + md5_hex(set.files[2].bytes) + " c.bin\n"),
              std::string::npos)
        << text;
    ASSERT_EQ(read_directory(scratch / "directory.txt"), 3);
    std::map<std::string, int> disks;
    for (const auto& h : sim_info) disks[h.current().path] = h.current().disk;
    EXPECT_EQ(disks["Linux/a.bin"], 0);
    EXPECT_EQ(disks["Linux/b.bin"], 0);
    EXPECT_EQ(disks["Linux/c.bin"], 1);
    EXPECT_EQ(disks["All/Resources/plugins/VNWidgets.so"], 1);
}

TEST_F(BuilderTest, TheSetIsTheSameBytesWhateverTheNumberOfThreads) {
    for (int i = 0; i < 60; ++i)
        set.files.push_back({"All/Resources/data " + std::to_string(i % 4) + "/file " + std::to_string(i) + ".dat",
                             i % 2 ? random_bytes(size_t(i) * 700, unsigned(i)) : std::string(size_t(i) * 900, char('a' + i % 26)),
                             false, {}});
    set.files[0].older = {"before"};
    lay_out();
    for (const int type : {0, 1}) {
        SCOPED_TRACE(type == 0 ? "web set" : "disc set");
        std::map<std::string, std::string> trees[2];
        for (const int threads : {1, 6}) {
            const std::string folder = t / ("out " + std::to_string(type) + " " + std::to_string(threads) + "/");
            if (type == 1) fs::create_directories(folder);
            // Small disks, so that archives move between disks as well.
            build_from_master(type, master(), folder, previous(), 150.0f, threads);
            std::map<std::string, std::string>& tree = trees[threads == 1 ? 0 : 1];
            tree = tree_of(folder);
            // The manifest's archive carries the time the text was written; its text must agree.
            const std::string set_folder = folder + (type == 0 ? version_string : "disk_0/Ventaro Meridian") + "/";
            temp_dir scratch;
            tree.erase(set_folder.substr(folder.size()) + "directory.txt.zip");
            tree["manifest"] = manifest_in(set_folder, scratch);
        }
        EXPECT_GT(trees[0].size(), 80u);
        for (const auto& [path, bytes] : trees[0])
            if (!trees[1].count(path) || trees[1][path] != bytes) ADD_FAILURE() << "differs: " << path;
        for (const auto& [path, bytes] : trees[1])
            if (!trees[0].count(path)) ADD_FAILURE() << "only with 6 threads: " << path;
    }
    EXPECT_TRUE(fs::exists(t / "out 1 6/disk_3/Ventaro Meridian"));
}

// A ready 7z archive next to a file is linked into the set in place of a zip; a Windows program
// is made large-address-aware before it is zipped and hashed.
TEST_F(BuilderTest, ReadyArchivesAreLinkedAndWindowsProgramsArePatchedFirst) {
    std::string exe(0x100, '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[0x3C] = 0x40;
    exe.replace(0x40, 4, std::string("PE\0\0", 4));
    set.files.push_back({"Windows/Ventaro.exe", exe, false, {}});
    set.files.push_back({"All/Resources/sky.dat", "the sky", false, {}});
    lay_out();
    write_file(master() + "All/Resources/sky.dat.7z", std::string(2500, 's'));
    build(0);

    struct stat linked, ready;
    ASSERT_EQ(::stat((web_set() + "All/Resources/sky.dat.7z").c_str(), &linked), 0);
    ASSERT_EQ(::stat((master() + "All/Resources/sky.dat.7z").c_str(), &ready), 0);
    EXPECT_EQ(linked.st_ino, ready.st_ino);
    EXPECT_FALSE(fs::exists(web_set() + "All/Resources/sky.dat.zip"));
    EXPECT_FALSE(fs::exists(web_set() + "All/Resources/sky.dat.7z.zip"));

    std::string patched = exe;
    patched[0x40 + 22] = 0x20;
    EXPECT_EQ(read_file(master() + "Windows/Ventaro.exe"), patched);
    temp_dir scratch;
    const std::string text = manifest_in(web_set(), scratch);
    EXPECT_NE(text.find("FILE 0 0 100001 2 0 " + md5_hex("the sky") + " sky.dat\n"), std::string::npos) << text;
    EXPECT_NE(text.find("FILE 0 2 100001 0 0 " + md5_hex(patched) + " Ventaro.exe\n"), std::string::npos) << text;
    ASSERT_EQ(zip_to_file(web_set() + "Windows/Ventaro.exe.zip", scratch.path() + "/", nullptr, 0), 0);
    EXPECT_EQ(read_file(scratch / "Ventaro.exe"), patched);
}

// Sizes are whole kilobytes of the byte count: a file of 2 GiB or more keeps its true size
// instead of one cut to 32 bits (a sparse file, so nothing is written).
TEST(BuilderSizes, AFileOfMoreThan4GiBKeepsItsSize) {
    temp_dir t;
    write_file(t / "big", "");
    fs::resize_file(t / "big", 5000000123ULL);
    EXPECT_EQ(file_bytes(t / "big"), 5000000123LL);
    EXPECT_EQ(file_bytes(t.path()), -1);
}

std::vector<std::pair<std::string, std::string>> g_strips;
int g_polls = 0;

TEST_F(BuilderTest, TheProgressStripShowsEvery500FilesMetAndEvery20Compressed) {
    for (int i = 0; i < 600; ++i)
        set.files.push_back({"All/Aircraft/fleet/plane " + std::to_string(1000 + i) + ".acf", "p", false, {}});
    set.files.push_back({"All/Aircraft/fleet/a spare.bak", "left out", false, {}});
    lay_out();
    g_strips.clear();
    g_polls = 0;
    g_builder_display.show_strip = [](const std::string& a, const std::string& b) { g_strips.emplace_back(a, b); };
    g_builder_display.quit_key_hit = [] { return ++g_polls, 0; };
    build(0);

    ASSERT_EQ(num_files_rec, 624);
    ASSERT_EQ(num_files_use, 623);
    ASSERT_EQ(g_strips.size(), 1u + 623 / 20);
    EXPECT_EQ(g_polls, int(g_strips.size()));
    // The walk's strip comes at the 500th file met (the skipped one among them).
    EXPECT_EQ(g_strips[0].first, "reg: 0: total files recursed: 500. will compress: 499.");
    EXPECT_EQ(g_strips[0].second, master() + "All/Aircraft/fleet/plane 1493.acf");
    EXPECT_EQ(g_strips[1].first, "reg: 0: total files to compress: 623. now doing: 20.");
    EXPECT_EQ(g_strips.back().first, "reg: 0: total files to compress: 623. now doing: 620.");
    EXPECT_EQ(g_strips[1].second.rfind(web_set(), 0), 0u);
    EXPECT_EQ(g_strips[1].second.substr(g_strips[1].second.size() - 4), ".zip");
}

struct build_crash {
    const char* what;
    int type;
    std::function<void(BuilderTest&)> before;   // changes the master, the previous manifest or the hooks
    alert_lines lines;                          // "{M}" the master folder, "{O}" the output folder
};

std::string g_blocked_zip;

TEST_F(BuilderTest, EachInconsistencyOfTheBuildStopsItWithItsAlert) {
    const std::vector<build_crash> cases = {
        {"a web set into an output folder that exists", 0, [](BuilderTest& b) { fs::create_directories(b.out()); },
         {"Could not make the dst_folder!", "{O}", "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!", ""}},
        {"a previous version numbered like this release's", 0,
         [](BuilderTest& b) {
             write_file(b.previous(), "I\n900 version\nINSTALLER\n\nDIR All/Aircraft/\nFILE 0 0 100001 0 0 " +
                                          md5_hex("x") + " a.acf\n");
         },
         {"You idiot! Version numbers must always go up!  I already have a version:", "version_number 100001.000000",
          "in file ", "All/Aircraft/a.acf"}},
        {"a file twice in the previous manifest", 0,
         [](BuilderTest& b) {
             write_file(b.previous(), "I\n900 version\nINSTALLER\n\nDIR All/Aircraft/\nFILE 0 0 1 0 0 " + md5_hex("x") +
                                          " A.acf\nFILE 0 0 1 0 0 " + md5_hex("y") + " a.acf\n");
         },
         {"WARNING: you appear to have a file TWICE in an old directory file.", "", "", "All/Aircraft/a.acf"}},
        {"a top folder that names no platform", 0,
         [](BuilderTest& b) { write_file(b.master() + "Extras/readme.txt", "x"); },
         {"WHAT THE FUCK? I CAN'T TELL WHAT TYPE OF FILE THIS IS!", "Extras/", "Extras", ""}},
        {"a Windows program that is no program", 0,
         [](BuilderTest& b) { write_file(b.master() + "Windows/setup.exe", std::string(100, 'x')); },
         {"Oops! We could not make a windows exe file large-address-aware!", "error# 20013.000000",
          "{M}Windows/setup.exe", ""}},
        // The file's line would have carried the digest of the file before it.
        {"a file whose MD5 cannot be taken", 0,
         [](BuilderTest&) {
             comp_md5 = [](const std::string& path, std::string& md5) {
                 return path.find("b.acf") != std::string::npos ? 20006 : calc_file_md5(path, md5);
             };
         },
         {"Could not MD5 file!", "{M}All/Aircraft/b.acf", "", ""}},
        {"the Q key", 0, [](BuilderTest&) { g_builder_display.quit_key_hit = [] { return 1; }; },
         {"You hit Q dumbass!", "", "", ""}},
        // Folders are ready on six disks only.
        {"a disc set that needs a seventh disk", 1,
         [](BuilderTest& b) {
             for (int i = 1; i <= 7; ++i) write_file(b.master() + "Linux/f" + std::to_string(i) + ".bin", random_bytes(2500, unsigned(i)));
             fs::create_directories(b.out());
         },
         {"I could not zip a file!", error_str(ENOENT), "{M}Linux/f7.bin", "{O}disk_6/Ventaro Meridian/Linux/f7.bin.zip"}},
        {"a manifest whose archive cannot be written", 0,
         [](BuilderTest& b) {
             // Once the files are being compressed, a folder takes the archive's name.
             g_blocked_zip = b.web_set() + "directory.txt.zip";
             g_builder_display.show_strip = [](const std::string&, const std::string&) {
                 fs::create_directories(g_blocked_zip);
             };
         },
         {"zip!=0", "", "{O}" + version_string + "/directory.txt", "{O}" + version_string + "/directory.txt.zip"}},
    };
    for (const build_crash& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(t / "master");
        fs::remove_all(t / "out");
        lay_out();
        c.before(*this);
        alert_lines want;
        for (int i = 0; i < 4; ++i) {
            want[i] = c.lines[i];
            for (const auto& [mark, path] : {std::pair<std::string, std::string>{"{M}", master()}, {"{O}", out()}})
                for (size_t at; (at = want[i].find(mark)) != std::string::npos;) want[i].replace(at, 3, path);
        }
        EXPECT_EQ(crash_of(c.type, 1.0f), want);
        g_builder_display = builder_display{};
        comp_md5 = &calc_file_md5;
    }
    // The text stays for a look when its archive could not be made.
    EXPECT_TRUE(fs::exists(web_set() + "directory.txt"));
}

}  // namespace
