#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/install_filter.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"

namespace {

const std::string A(32, 'a'), B(32, 'b'), C(32, 'c'), X(32, 'e');

file_version_struct version(const std::string& path, const std::string& want, int platform = 0, float kb = 1) {
    file_version_struct v;
    v.path = path;
    v.sig_want = want;
    v.platform = platform;
    v.comp_size = kb / 2;
    v.uncomp_size = kb;
    return v;
}

void add_file(const std::vector<file_version_struct>& versions, const std::string& have) {
    file_history_struct h;
    h.versions = versions;
    h.current().sig_have = have;
    h.current().match = have == h.current().sig_want ? 1 : 0;
    sim_info.push_back(h);
}

class Decisions : public ::testing::Test {
protected:
    void SetUp() override {
        stg_set_initial();
        sim_info.clear();
        set_install_filter(1, 1);
        dest_dir_path = "/dest/";
        set_select_alert_answerer([this](const std::string& path, int del) {
            asked.push_back(path + (del ? " delete" : " replace"));
            return answer;
        });
    }
    void TearDown() override { set_select_alert_answerer({}); }

    std::string flags() const {
        std::string out;
        for (const auto& h : sim_info) out += h.current().install ? 'I' : h.current().del ? 'D' : '-';
        return out;
    }

    std::vector<std::string> asked;
    int answer = 2;
};

TEST_F(Decisions, WantedFilterByPlatformAndKind) {
    struct row {
        int filter, platform, want;
    } rows[] = {{0, 2, 1}, {1, 1, 1}, {1, 0, 1}, {1, 2, 0}, {1, 6, 0}, {3, 6, 1}, {3, 3, 1}, {2, 3, 0}};
    for (const auto& r : rows) {
        sim_info.clear();
        add_file({version("V/a", A, r.platform)}, "NONE");
        stg.platform_filter = r.filter;
        EXPECT_EQ(want_this_f(0, 0), r.want) << "filter " << r.filter << " platform " << r.platform;
    }
    sim_info.clear();
    add_file({version("V/a", A)}, "NONE");
    auto gs = version("V/Global Scenery/+40-120.dsf", A);
    gs.global_scenery = 1;
    add_file({gs}, "NONE");
    set_install_filter(1, 0);
    EXPECT_EQ(want_this_f(0, 0), 1);
    EXPECT_EQ(want_this_f(1, 0), 0);
    set_install_filter(0, 1);
    EXPECT_EQ(want_this_f(0, 0), 0);
    EXPECT_EQ(want_this_f(1, 0), 1);
}

TEST_F(Decisions, InstallKeepOrDeleteWithoutQuestions) {
    add_file({version("V/missing", A)}, "NONE");                  // install
    add_file({version("V/missing_gone", "GONE")}, "NONE");        // nothing to delete
    add_file({version("V/current", A)}, A);                       // keep
    add_file({version("V/old", A), version("V/old", B)}, A);      // older release: replace
    add_file({version("V/old_gone", A), version("V/old_gone", "GONE")}, A);   // older release: delete
    add_file({version("V/other_os", A, 2)}, "NONE");              // not wanted
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "I--ID-");
    EXPECT_TRUE(asked.empty());
}

TEST_F(Decisions, LocallyChangedFilesAreAskedAbout) {
    answer = 1;
    add_file({version("V/r/changed", A)}, X);
    add_file({version("V/r/changed_gone", A), version("V/r/changed_gone", "GONE")}, X);
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "ID");
    EXPECT_EQ(asked, (std::vector<std::string>{"/dest/r/changed replace", "/dest/r/changed_gone delete"}));

    asked.clear();
    answer = 2;
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "--");
}

TEST_F(Decisions, FolderAnswersCoverLaterFilesOfThatFolderOnly) {
    answer = 5;   // keep every changed file in this folder
    add_file({version("V/r/one", A)}, X);
    add_file({version("V/r/two", A), version("V/r/two", "GONE")}, X);
    add_file({version("V/r/sub/three", A)}, X);
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "---");
    EXPECT_EQ(asked, (std::vector<std::string>{"/dest/r/one replace", "/dest/r/sub/three replace"}));

    asked.clear();
    answer = 4;   // act for the folder; a second run asks again
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "IDI");
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(Decisions, CancelStopsAtOnce) {
    add_file({version("V/a", A)}, "NONE");
    add_file({version("V/b", A)}, X);
    add_file({version("V/c", A)}, "NONE");
    sim_info[2].current().install = 1;   // from an earlier run
    answer = 3;
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(flags(), "I-I");
}

TEST_F(Decisions, UnchosenSceneryTilesAreRemovedNeverInstalled) {
    auto gs = [](const std::string& name) {
        auto v = version("V/Global Scenery/" + name, A);
        v.global_scenery = 1;
        v.lon_index = 6;
        v.lat_index = 13;
        return v;
    };
    add_file({gs("present.dsf")}, A);
    add_file({gs("changed.dsf")}, X);
    add_file({gs("absent.dsf")}, "NONE");
    scenery_take_none();
    answer = 1;
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "DD-");   // the changed one was asked about with the delete wording
    EXPECT_EQ(asked, (std::vector<std::string>{"/dest/Global Scenery/changed.dsf delete"}));

    stg.chosen_tiles[6][13] = 1;
    asked.clear();
    answer = 2;
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "--I");
}

TEST_F(Decisions, ProgressWeightsShareTheInstalledBytes) {
    add_file({version("V/a", A, 0, 100)}, "NONE");
    add_file({version("V/kept", A, 0, 5000)}, A);
    add_file({version("V/b", A, 0, 300)}, "NONE");
    add_file({version("V/c", A, 0, 600)}, "NONE");
    ASSERT_EQ(choose_files(), 1);
    EXPECT_FLOAT_EQ(sim_info[0].current().progress_weight, 0.0f);
    EXPECT_FLOAT_EQ(sim_info[1].current().progress_weight, 0.1f);
    EXPECT_FLOAT_EQ(sim_info[2].current().progress_weight, 0.1f);
    EXPECT_FLOAT_EQ(sim_info[3].current().progress_weight, 0.4f);

    sim_info.clear();
    add_file({version("V/kept", A)}, A);
    ASSERT_EQ(choose_files(), 1);
    EXPECT_FLOAT_EQ(sim_info[0].current().progress_weight, 0.5f);
}

// A quick scan marks a present file whose current version is "GONE" as matching.
TEST_F(Decisions, QuickScanGoneFileIsDeletedAndCountedOnce) {
    auto gs = version("V/Global Scenery/old.dsf", "GONE");
    gs.global_scenery = 1;
    add_file({version("V/Global Scenery/old.dsf", A), gs}, "GONE");
    add_file({version("V/new", A, 0, 10)}, "NONE");
    scenery_take_none();
    recalc_disk_sizes();
    EXPECT_EQ(stg.files_to_delete, 1);
    EXPECT_EQ(stg.files_to_get, 1);
    EXPECT_FLOAT_EQ(stg.needed_space, 10.0f);
    EXPECT_FLOAT_EQ(stg.download_size, 5.0f);
    ASSERT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(), "DI");
}

TEST_F(Decisions, SceneryChoiceFromAnInstall) {
    auto gs = version("V/Global Scenery/+40-120.dsf", A);
    gs.global_scenery = 1;
    gs.lon_index = 6;
    gs.lat_index = 13;
    add_file({gs}, X);
    gs.lon_index = 7;
    add_file({gs}, "NONE");
    stg.offered_tiles[1][1] = 1;
    scenery_take_all();
    EXPECT_EQ(stg.chosen_tiles[1][1], 1);
    scenery_from_install();
    EXPECT_EQ(stg.chosen_tiles[1][1], 0);
    EXPECT_EQ(stg.chosen_tiles[6][13], 1);
    EXPECT_EQ(stg.chosen_tiles[7][13], 0);
}

TEST(LocalPaths, TrimSuffixAndContainment) {
    struct row {
        const char* in;
        const char* trimmed;
    } trims[] = {{"V/a/b", "a/b"}, {"V/", ""}, {"plain", "plain"}};
    for (const auto& r : trims) {
        std::string s = r.in;
        trim_dest_folder(s);
        EXPECT_EQ(s, r.trimmed);
    }
    sim_info.clear();
    add_file({version("V/x/Global Scenery.txt", A)}, "NONE");
    add_file({version("V/x/a.txt", A)}, "NONE");
    EXPECT_EQ(suffix_for_file(0), ".7z");
    EXPECT_EQ(suffix_for_file(1), ".zip");

    dest_dir_path = "/home/u/Ventaro/";
    struct inside {
        const char* path;
        bool ok;
    } rows[] = {{"/home/u/Ventaro/a", true},        {"/home/u/Ventaro//a/./b", true},
                {"/home/u/Ventaro/", false},        {"/home/u/Ventaro", false},
                {"/home/u/Ventaro2/a", false},      {"/home/u/Ventaro/../x", false},
                {"/home/u/Ventaro/a/../../x", false}, {"/home/u/Ventaro/a/../b", true}};
    for (const auto& r : rows) EXPECT_EQ(path_is_inside_dest(r.path), r.ok) << r.path;
    dest_dir_path = "";
    EXPECT_FALSE(path_is_inside_dest("/a"));
}

}  // namespace

namespace {
// After a full scan a file the set no longer ships has its local MD5, never "GONE": every present
// one is a deletion (the counts decide whether an update has any work), an absent one is not.
TEST_F(Decisions, FullScanCountsEveryPresentGoneFileAsADeletion) {
    struct row {
        const char* have;
        int deletions;
    } rows[] = {{"a", 1}, {"e", 1}, {"NONE", 0}};
    for (const row& r : rows) {
        sim_info.clear();
        const std::string have = r.have == std::string("NONE") ? "NONE" : std::string(32, r.have[0]);
        add_file({version("V/old", A), version("V/old", "GONE")}, have);
        add_file({version("V/kept", B)}, B);
        recalc_disk_sizes();
        EXPECT_EQ(stg.files_to_delete, r.deletions) << r.have;
        EXPECT_EQ(stg.files_to_get, 0) << r.have;
        answer = 1;
        ASSERT_EQ(choose_files(), 1);
        EXPECT_EQ(flags(), r.deletions ? "D-" : "--") << r.have;
    }
}
}  // namespace
