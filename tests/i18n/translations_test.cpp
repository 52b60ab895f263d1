// The shipped translation files, read by the program's own reader: every text of the catalogue is
// translated in every language, nothing else is, and each translation keeps the shape of its text.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/app_globals.h"
#include "core/cmdline.h"
#include "core/localisation.h"
#include "ui/localisation_file.h"
#include "core/localisation_tables.h"
#include "core/log.h"
#include "install/install_state.h"
#include "install/prompts.h"
#include "install/registration.h"
#include "platform/web_page.h"
#include "support/temp_dir.h"
#include "ui/labels.h"
#include "wizard/dvd_copy_flows.h"
#include "wizard/dvd_install_flow.h"
#include "wizard/dvd_menu.h"

namespace {

const std::string resources = VENTARO_SOURCE_DIR "/resources";
const std::string catalogue_path = VENTARO_SOURCE_DIR "/tests/i18n/catalogue.txt";

struct language {
    int index;
    const char* code;   // as the catalogue's SAME lines name it
};
const language languages[] = {{1, "fr"}, {2, "de"}, {3, "ru"}, {4, "it"}, {5, "es"}};

struct catalogue_entry {
    std::string text;   // unescaped: the bytes the program looks up
    bool plural = false;
    std::set<std::string> same;   // languages that may show it as in English
    int line = 0;
};

std::vector<catalogue_entry> read_catalogue() {
    std::ifstream in(catalogue_path);
    EXPECT_TRUE(in) << catalogue_path;
    std::vector<catalogue_entry> out;
    std::set<std::string> pending_same;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank), rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (word == "SAME") {
            std::size_t at = 0;
            for (std::size_t next; at < rest.size(); at = next + 1) {
                next = std::min(rest.find(' ', at), rest.size());
                pending_same.insert(rest.substr(at, next - at));
            }
        } else if (word == "TEXT" || word == "PLURAL") {
            catalogue_entry e;
            e.text = rest;
            str_unescape(e.text);
            e.plural = word == "PLURAL";
            e.same.swap(pending_same);
            e.line = number;
            out.push_back(e);
        } else {
            ADD_FAILURE() << "catalogue line " << number << " is neither TEXT, PLURAL nor SAME: " << line;
        }
    }
    return out;
}

std::vector<std::string> placeholders(const std::string& text) {
    static const std::regex placeholder("%[0-9]+:[^%]*%");
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator(); ++it)
        out.push_back(it->str());
    std::sort(out.begin(), out.end());
    return out;
}

std::size_t leading(const std::string& s, char c) {
    const std::size_t n = s.find_first_not_of(c);
    return n == std::string::npos ? s.size() : n;
}
std::size_t trailing(const std::string& s, char c) {
    const std::size_t n = s.find_last_not_of(c);
    return n == std::string::npos ? s.size() : s.size() - 1 - n;
}

// What a reader of the screen would notice when a translation loses a piece of its English text.
std::vector<std::string> shape_faults(const std::string& source, const std::string& translation) {
    std::vector<std::string> faults;
    if (placeholders(source) != placeholders(translation)) faults.push_back("placeholders differ");
    if (std::count(source.begin(), source.end(), '%') != std::count(translation.begin(), translation.end(), '%'))
        faults.push_back("percent signs differ");
    std::string s[3], t[3];
    BTN_expand_label(source, &s[0], &s[1], &s[2]);
    BTN_expand_label(translation, &t[0], &t[1], &t[2]);
    const char* part_names[3] = {"left text", "right text", "help tip"};
    for (int i = 0; i < 3; ++i) {
        if (s[i].empty() != t[i].empty()) faults.push_back(std::string(part_names[i]) + " present in only one");
        else if (!s[i].empty() && (s[i][0] == '-') != (t[i][0] == '-'))
            faults.push_back(std::string(part_names[i]) + " one-line dash differs");
    }
    if (leading(source, ' ') != leading(translation, ' ') || trailing(source, ' ') != trailing(translation, ' '))
        faults.push_back("outer blanks differ");
    if (leading(source, '\n') != leading(translation, '\n') || trailing(source, '\n') != trailing(translation, '\n'))
        faults.push_back("outer line feeds differ");
    return faults;
}

struct Translations : ::testing::Test {
    testsupport::temp_dir tmp;
    std::vector<catalogue_entry> catalogue = read_catalogue();

    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        UTL_translate_set_folder_for_test(resources);
        use_command_line({"--missing_strings"});
    }
    void TearDown() override {
        UTL_translate_clear();
        UTL_translate_set_folder_for_test("");
        cmdline = UTL_cmdline();
        xer.close();
    }
    static void use_command_line(std::vector<const char*> args) {
        args.insert(args.begin(), "prog");
        cmdline = UTL_cmdline();
        cmdline.init_unix(static_cast<int>(args.size()), args.data());
    }
    // Loads a language and returns what the reader logged while doing so.
    std::string load(const language& lang) {
        const std::size_t before = xer.contents_for_test().size();
        UTL_translate_load(lang.index);
        return xer.contents_for_test().substr(before);
    }
    std::string log_since(std::size_t before) { return xer.contents_for_test().substr(before); }
};

TEST_F(Translations, EachFileReadsWithoutAComplaint) {
    ASSERT_FALSE(catalogue.empty());
    for (const language& lang : languages) {
        const std::string logged = load(lang);
        EXPECT_EQ(logged, " ==== CHANGING LANGUAGE TO: " + UTL_lang_get_button(lang.index).substr(1) + ". ====\n")
            << lang.code;
        EXPECT_EQ(translation_tables().has_translation, 1) << lang.code;
    }
}

// The same check as a --missing_strings run that shows every text: nothing is logged as missing.
TEST_F(Translations, EveryCatalogueTextIsTranslated) {
    for (const language& lang : languages) {
        load(lang);
        const std::size_t before = xer.contents_for_test().size();
        const translation_state& tables = translation_tables();
        for (const catalogue_entry& e : catalogue) {
            const std::string shown = UTL_translate_string(e.text, 0);
            EXPECT_TRUE(tables.dictionary[0].count(e.text)) << lang.code << " lacks catalogue line " << e.line;
            if (!e.same.count(lang.code)) {
                EXPECT_NE(shown, e.text) << lang.code << " leaves catalogue line " << e.line << " in English";
            }
            const bool wants_genitive = e.plural && lang.index == 3;
            EXPECT_EQ(tables.dictionary[1].count(e.text), wants_genitive ? 1u : 0u)
                << lang.code << " genitive of catalogue line " << e.line;
        }
        EXPECT_EQ(log_since(before).find("STRING "), std::string::npos) << lang.code << log_since(before);
    }
}

// A text in a file but not in the catalogue is a misspelt key: the program would never show it.
TEST_F(Translations, FilesHoldOnlyCatalogueTexts) {
    std::set<std::string> texts, plurals;
    for (const catalogue_entry& e : catalogue) {
        EXPECT_TRUE(texts.insert(e.text).second) << "catalogue line " << e.line << " repeats a text";
        if (e.plural) plurals.insert(e.text);
    }
    for (const language& lang : languages) {
        load(lang);
        for (const auto& [source, translation] : translation_tables().dictionary[0])
            EXPECT_TRUE(texts.count(source)) << lang.code << " translates a text not in the catalogue: " << source;
        for (const auto& [source, translation] : translation_tables().dictionary[1])
            EXPECT_TRUE(plurals.count(source)) << lang.code << " gives a genitive of a non-plural text: " << source;
    }
}

TEST_F(Translations, TranslationsKeepTheShapeOfTheirText) {
    for (const language& lang : languages) {
        load(lang);
        for (int form = 0; form < 2; ++form) {
            for (const auto& [source, translation] : translation_tables().dictionary[form]) {
                for (const std::string& fault : shape_faults(source, translation))
                    ADD_FAILURE() << lang.code << (form ? " GENITIVE " : " STRING ") << source << "====" << translation
                                  << ": " << fault;
            }
        }
    }
}

// The shape check itself: each kind of slip a translator can make is caught, a faithful one passes.
TEST(TranslationShape, SlipsAreCaught) {
    struct row {
        const char* name;
        std::string source, translation;
        bool faulty;
    };
    const row rows[] = {
        {"faithful", "%1:rate% kilobytes/second", "%1:rate% kilooctets/seconde", false},
        {"reordered placeholders", "%1:a% then %2:b%", "%2:b% avant %1:a%", false},
        {"renamed placeholder", "About %1:time% left", "Environ %1:temps% restant", true},
        {"percent sign after a placeholder lost", "%1:progress%% done", "%1:progress% fait", true},
        {"label gains a right text", "Cancel", "Annuler|x", true},
        {"label loses its right text", "|-I agree!", "J'accepte", true},
        {"one-line dash lost", "|-I agree!", "|J'accepte", true},
        {"trailing blank lost", "Error: ", "Erreur:", true},
        {"leading line feeds lost", "\n\nDownloading", "Chargement", true},
    };
    for (const row& r : rows) EXPECT_EQ(!shape_faults(r.source, r.translation).empty(), r.faulty) << r.name;
}

// The engine already looks its texts up: run its alerts in each language and see every line found.
TEST_F(Translations, EngineAlertsFindTheirTexts) {
    platform_set_web_page_program("true");   // the announcements open a page; nothing needs to show
    use_command_line({"--missing_strings", "--qa_script"});
    for (const language& lang : languages) {
        load(lang);
        const std::size_t before = xer.contents_for_test().size();
        dest_dir_path = tmp.path() + "/";
        make_dir_error("/A/B", 2);
        new_installer("http://new.test/get.html");
        new_format(tmp / "serverlist9.txt");
        UTIL_disk_space("enough", "short");
        const std::string logged = log_since(before);
        EXPECT_EQ(logged.find("STRING "), std::string::npos) << lang.code << logged;
        EXPECT_NE(logged.find(UTL_translate_string("Install Path:", 0) + "/A/B\n"), std::string::npos)
            << lang.code << logged;
        EXPECT_EQ(UTIL_disk_space_text().find("Disk size"), std::string::npos) << lang.code;
        app_done = 0;
        stg_set_initial();
    }
    dest_dir_path.clear();
    platform_set_web_page_program("");
}

// The install disc's step lists, disc change and Finish texts (the error texts are put together from
// pieces) in each language, every outcome of each flow: every text is found.
TEST_F(Translations, DiscStepsAndFinishTextsFindTheirTexts) {
    for (const language& lang : languages) {
        load(lang);
        const std::size_t before = xer.contents_for_test().size();
        set_dvd_install_steps();
        set_repair_steps();
        set_scenery_steps();
        dest_dir_path = tmp.path() + "/";
        for (const disc_flow flow : {flow_install, flow_repair, flow_scenery}) {
            wizard_screen change;
            disc_switch_screen(flow, 0, change);
            for (const int errors : {0, 1})
                for (const int got : {0, 1})
                    for (const int deleted : {0, 1}) {
                        num_install_errors = errors;
                        stg.files_to_get = got;
                        stg.files_to_delete = deleted;
                        wizard_screen done;
                        disc_done_screen(flow, 1, done);
                    }
        }
        const std::string logged = log_since(before);
        EXPECT_EQ(logged.find("STRING "), std::string::npos) << lang.code << logged;
    }
    dvd_install_reset_for_test();
    stg_set_initial();
    dest_dir_path.clear();
}

}  // namespace
