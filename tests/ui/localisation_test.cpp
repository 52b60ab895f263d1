#include "core/localisation.h"
#include "ui/localisation_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/log.h"
#include "support/temp_dir.h"

namespace {

const std::string header = "I\n900 version\nTRANSLATION\n\n";

struct Localisation : ::testing::Test {
    testsupport::temp_dir tmp;

    void SetUp() override {
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        UTL_translate_set_folder_for_test(tmp.path());
        use_command_line({});
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
    void write_language(const std::string& file, const std::string& body) {
        testsupport::write_file(tmp / file, body);
    }
    std::string log() { return xer.contents_for_test(); }
};

TEST_F(Localisation, PlaceholderSubstitution) {
    struct row {
        std::string tmpl;
        std::vector<std::string> values;
        std::string expected;
    };
    const row rows[] = {
        {"%1:rate% kilobytes/second", {"12"}, "12 kilobytes/second"},
        {"%2:second% before %1:first%", {"a", "b"}, "b before a"},
        {"%1:install name% and %2:missing%", {"X"}, "X and %2:missing%"},
        {"%1:value%", {"%1:value%"}, "%1:value%"},   // a value is never substituted again
        {"%1:progress%%", {"50"}, "50%"},
        {"50% done: %1:x%", {"V"}, "50% done: V"},
        {"no placeholders", {"A"}, "no placeholders"},
        {"%0:zero% %7:seven%", {"a", "b", "c", "d", "e", "f"}, "%0:zero% %7:seven%"},
    };
    for (const row& r : rows) {
        std::vector<const std::string*> ptrs;
        for (const auto& v : r.values) ptrs.push_back(&v);
        EXPECT_EQ(UTL_string_sub_x(r.tmpl, static_cast<int>(ptrs.size()), ptrs.data()), r.expected) << r.tmpl;
    }
    EXPECT_EQ(UTL_string_sub("%3:c%%2:b%%1:a%", "1", "2", "3"), "321");
    EXPECT_EQ(UTL_string_sub("%6:f%", "1", "2", "3", "4", "5", "6"), "6");

    std::vector<int> numbers;
    UTL_string_check("%2:a% 100% %1:b% %2:c%", numbers);
    EXPECT_EQ(numbers, (std::vector<int>{2, 1, 2}));
}

TEST_F(Localisation, PluralRulesPerLanguage) {
    write_language("Russian.txt", header +
                                      "STRING %1:n% file====%1:n% \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\n"
                                      "STRING %1:n% files====%1:n% plural-ru\n"
                                      "GENITIVE %1:n% files====%1:n% genitive-ru\n");
    write_language("French.txt", header + "STRING one====un\nSTRING many====plusieurs\n");
    write_language("German.txt", header + "STRING one====eins\nSTRING many====viele\n");

    UTL_translate_load(3);
    const std::map<int, std::string> russian = {{1, "%1:n% \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB"},
                                                {2, "%1:n% genitive-ru"}, {5, "%1:n% plural-ru"},
                                                {12, "%1:n% plural-ru"},  {21, "%1:n% plural-ru"},
                                                {22, "%1:n% genitive-ru"}, {-2, "%1:n% plural-ru"}};
    for (const auto& [count, expected] : russian)
        EXPECT_EQ(UTL_translate_plural(count, "%1:n% file", "%1:n% files"), expected) << "Russian " << count;

    UTL_translate_load(1);
    EXPECT_EQ(UTL_translate_plural(0, "one", "many"), "un");
    EXPECT_EQ(UTL_translate_plural(2, "one", "many"), "plusieurs");
    UTL_translate_load(2);
    EXPECT_EQ(UTL_translate_plural(0, "one", "many"), "viele");
    EXPECT_EQ(UTL_translate_plural(1, "one", "many"), "eins");
    UTL_translate_clear();
    EXPECT_EQ(UTL_translate_plural(0, "one", "many"), "many");
    EXPECT_EQ(UTL_translate_string("one", 0), "one");
}

TEST_F(Localisation, EntriesAreCheckedAndStored) {
    write_language("French.txt", header +
                                     "# a comment line\r\n"
                                     "STRING no splitter here\r\n"
                                     "STRING Yes====O\r\n"
                                     "STRING No====Ne\r\n"
                                     "STRING %1:a% x====yy\r\n"
                                     "STRING Bad\xC3====Mal\r\n"
                                     "STRING Left|Right{Help====Gauche|Droite\r\n"
                                     "STRING  Two====Deux\r\n"
                                     "STRING Three ====Trois\r\n"
                                     "STRING Hello====Bonjour\r\n"
                                     "STRING Hello====Salut\r\n"
                                     "GENITIVE Hello====Bonjour-gen\r\n"
                                     "STRING Line\\nTwo====Ligne\\nDeux\r\n"
                                     "STRINGX Other====Autre\r\n"
                                     "\tSTRING\tTabbed====Tab\r\n"
                                     "STRING A====B====C");
    UTL_translate_load(1);
    const std::string text = log();
    for (const char* message : {
             "ERROR: language file line 'no splitter here' missing ==== splitter.\n",
             "ERROR: language file line 'Yes====O' missing right side translation.\n",
             "ERROR: language file line '%1:a% x====yy' has incorrect translated parameters.\n",
             "ERROR: language file line 'Bad\xC3====Mal' contains invalid UTF8 characters.\n",
             "ERROR: language file line 'Left|Right{Help====Gauche|Droite' does not have its help tips correctly "
             "formatted.\n",
             "ERROR: language file line ' Two====Deux' does not have the same leading spaces.\n",
             "ERROR: language file line 'Three ====Trois' does not have the same trailing spaces.\n",
             "ERROR: language file line 'Hello====Salut' is a second translation of Hello====Bonjour\n",
             " ==== CHANGING LANGUAGE TO: Fran\xC3\xA7" "ais. ====\n",
         })
        EXPECT_NE(text.find(message), std::string::npos) << message;
    EXPECT_EQ(text.find("Other"), std::string::npos);

    const std::map<std::string, std::string> lookups = {
        {"Yes", "Yes"},          {"No", "Ne"},           {"%1:a% x", "yy"},       {"Left|Right{Help", "Gauche|Droite"},
        {" Two", "Deux"},        {"Hello", "Bonjour"},   {"Line\nTwo", "Ligne\nDeux"},
        {"Other", "Other"},      {"Tabbed", "Tab"},      {"A", "B====C"},
    };
    for (const auto& [source, expected] : lookups) EXPECT_EQ(UTL_translate_string(source, 0), expected) << source;
    EXPECT_EQ(UTL_translate_string("Hello", 1), "Bonjour-gen");
}

TEST_F(Localisation, GenitiveWithoutPluralIsReportedInRussian) {
    write_language("Russian.txt", header + "GENITIVE lonely====one\n");
    UTL_translate_load(3);
    EXPECT_NE(log().find("WARNING: language file line lonely====one is provided in genitive but not plural case.\n"),
              std::string::npos);
}

TEST_F(Localisation, UnusableFilesLeaveEnglish) {
    struct row {
        std::optional<std::string> file;
        std::string message;
    };
    const row rows[] = {
        {std::nullopt, "Could not find translation file: " + (tmp / "French.txt") + "; using English.\n"},
        {"I\n800 version\nTRANSLATION\nSTRING Hi====Salut\n", "is not version 900 or has a bad header.\n"},
        {"I\n900 version\nINSTALLER\nSTRING Hi====Salut\n", "is not version 900 or has a bad header.\n"},
        {"", "is not version 900 or has a bad header.\n"},
    };
    for (const row& r : rows) {
        std::remove((tmp / "French.txt").c_str());
        if (r.file) write_language("French.txt", *r.file);
        UTL_translate_load(1);
        EXPECT_NE(log().find(r.message), std::string::npos) << r.message;
        EXPECT_EQ(UTL_translate_string("Hi", 0), "Hi");
        EXPECT_EQ(UTL_translate_plural(0, "one", "many"), "one") << "French plural rule applies even so";
    }
}

TEST_F(Localisation, MissingStringsAreLoggedOncePerLanguage) {
    write_language("French.txt", header + "STRING Known====Connu\n");
    use_command_line({"--missing_strings"});
    UTL_translate_clear();
    UTL_translate_string("Unknown", 0);
    EXPECT_EQ(log().find("STRING Unknown"), std::string::npos) << "English logs nothing";

    UTL_translate_load(1);
    EXPECT_EQ(UTL_translate_string("Known", 0), "Connu");
    EXPECT_EQ(UTL_translate_string("Two\r\nlines", 0), "Two\r\nlines");
    UTL_translate_string("Two\r\nlines", 0);
    const std::string text = log();
    const std::string line = "STRING Two\\r\\nlines====Two\\r\\nlines\n";
    const auto first = text.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find(line, first + 1), std::string::npos);
    EXPECT_EQ(text.find("STRING Known"), std::string::npos);

    UTL_translate_load(1);
    UTL_translate_string("Two\r\nlines", 0);
    EXPECT_NE(log().find(line, first + 1), std::string::npos) << "loading again starts a new report";
}

TEST_F(Localisation, DefaultLanguageFromCommandLineThenSystem) {
    struct row {
        const char* lang_option;   // null: no --lang
        std::map<std::string, std::string> env;
        int expected;
    };
    const row rows[] = {
        {"--lang=de", {{"LANGUAGE", "fr"}}, 2},
        {"--lang=xx", {{"LANG", "fr_FR.UTF-8"}}, 1},
        {"--lang=fr_FR", {}, -1},
        {nullptr, {{"LANGUAGE", "xx:ru_RU"}, {"LANG", "de_DE"}}, 3},
        {nullptr, {{"LC_ALL", "C.UTF-8"}, {"LC_MESSAGES", "es_ES"}, {"LANG", "it_IT"}}, 5},
        {nullptr, {{"LANGUAGE", ""}, {"LANG", "it_IT.UTF-8"}}, 4},
        {nullptr, {{"LANG", "En_US"}}, -1},
        {nullptr, {}, -1},
    };
    const char* vars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::map<std::string, std::optional<std::string>> saved;
    for (const char* v : vars) saved[v] = getenv(v) ? std::optional<std::string>(getenv(v)) : std::nullopt;
    for (const row& r : rows) {
        for (const char* v : vars) unsetenv(v);
        for (const auto& [k, v] : r.env) setenv(k.c_str(), v.c_str(), 1);
        use_command_line(r.lang_option ? std::vector<const char*>{r.lang_option} : std::vector<const char*>{});
        EXPECT_EQ(UTL_get_default_language(), r.expected) << (r.lang_option ? r.lang_option : "no --lang");
    }
    for (const auto& [k, v] : saved) {
        if (v) setenv(k.c_str(), v->c_str(), 1);
        else unsetenv(k.c_str());
    }
}

TEST_F(Localisation, LanguageTable) {
    std::vector<int> langs;
    UTL_lang_get_languages(langs);
    EXPECT_EQ(langs, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(UTL_lang_get_folder(3), "Russian/");
    EXPECT_EQ(UTL_lang_get_button(5), "|Espa\xC3\xB1ol");
    EXPECT_EQ(UTL_count_leading("   "), 3);
    EXPECT_EQ(UTL_count_trailing("   "), 3);
    EXPECT_EQ(UTL_count_trailing(" a  "), 2);
}

}  // namespace
