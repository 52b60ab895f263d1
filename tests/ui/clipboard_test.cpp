// The typed clipboard without a display: the in-process store behind the clip-type tables.
#include "ui/clipboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clipboard.h"

namespace {

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        platform::clipboard_reset_for_test();
        UTL_clipboard_reset_for_test();
    }
    void TearDown() override { UTL_clipboard_reset_for_test(); }

    // Puts (type, bytes) items in one step.
    static bool put(const std::vector<std::pair<int, std::string>>& items) {
        std::vector<int> types, sizes;
        std::vector<const void*> data;
        for (const auto& [type, bytes] : items) {
            types.push_back(type);
            sizes.push_back(static_cast<int>(bytes.size()));
            data.push_back(bytes.data());
        }
        return UTL_Clipboard_SetData(static_cast<int>(items.size()), types.data(), sizes.data(), data.data());
    }
    static std::vector<int> types_on_clipboard() {
        std::vector<int> t{-7};
        UTL_Clipboard_GetTypes(t);
        return t;
    }
};

TEST_F(Clipboard, PrivateTypesAreRegisteredOnceEachWithTheNextCode) {
    EXPECT_EQ(UTL_RegisterPrivateClipType("text"), 0);
    EXPECT_EQ(UTL_GetTextClipType(), 0);
    EXPECT_EQ(UTL_RegisterPrivateClipType("scenery list"), 1);
    EXPECT_EQ(UTL_RegisterPrivateClipType("aircraft"), 2);
    EXPECT_EQ(UTL_RegisterPrivateClipType("scenery list"), 1);
    EXPECT_EQ(sClipStrings, (std::vector<std::string>{"text", "scenery list", "aircraft"}));

    // The codes are what travels on the clipboard.
    ASSERT_TRUE(put({{0, "t"}, {1, "s"}, {2, "a"}}));
    platform::clip_ref ref;
    std::vector<platform::clip_flavour_info> flavours;
    ASSERT_EQ(platform::clipboard_current(ref), 0);
    ASSERT_EQ(platform::clipboard_flavours(ref, flavours), 0);
    ASSERT_EQ(flavours.size(), 3u);
    EXPECT_EQ(flavours[0].code, platform::four_char_code("TEXT"));
    EXPECT_EQ(flavours[1].code, platform::four_char_code("PRV0"));
    EXPECT_EQ(flavours[2].code, platform::four_char_code("PRV1"));
    EXPECT_EQ(flavours[0].flags, 0);   // only the first item of a step goes unmarked
    EXPECT_EQ(flavours[1].flags, platform::clip_sender_only);
    EXPECT_EQ(flavours[2].flags, platform::clip_sender_only);
}

// A private type counts only with the sender-only mark, which the first item of a step lacks;
// text counts either way.
TEST_F(Clipboard, WhichTypesCountDependsOnTheirPlaceInTheStep) {
    const int a = UTL_RegisterPrivateClipType("a");
    const int b = UTL_RegisterPrivateClipType("b");
    const struct {
        const char* what;
        std::vector<std::pair<int, std::string>> items;
        std::vector<int> types;
        int has_text, has_a;
    } steps[] = {
        {"text then a", {{0, "x"}, {a, "1"}}, {0, a}, 1, 1},
        {"a first", {{a, "1"}, {0, "x"}}, {0}, 1, 0},
        {"b then a", {{b, "2"}, {a, "1"}}, {a}, 0, 1},
        {"a alone", {{a, "1"}}, {}, 0, 0},
        {"nothing", {}, {}, 0, 0},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(put(s.items)) << s.what;
        EXPECT_EQ(types_on_clipboard(), s.types) << s.what;
        EXPECT_EQ(UTL_Clipboard_HasClipType(0), s.has_text) << s.what;
        EXPECT_EQ(UTL_Clipboard_HasClipType(a), s.has_a) << s.what;
    }
}

TEST_F(Clipboard, TextRoundTripsByteForByte) {
    const std::string texts[] = {
        "plain",
        "Gr\xC3\xBC\xC3\x9F" "e \xE2\x9C\x88 \xE6\x97\xA5\xE6\x9C\xAC",   // non-ASCII UTF-8
        "line\r\nline\nline\r",                                            // line ends as they are
        std::string("before\0after", 12),                                  // a NUL inside
        "\xFF\xFE not UTF-8",
        std::string(100000, 'q'),
        "x",
    };
    for (const std::string& t : texts) {
        ASSERT_TRUE(UTL_SetTextToClipboard(t));
        std::string out = "old";
        ASSERT_TRUE(UTL_GetTextFromClipboard(out)) << t.substr(0, 40);
        EXPECT_EQ(out, t);
        EXPECT_EQ(UTL_Clipboard_GetSize(0), static_cast<int>(t.size()));
    }
}

TEST_F(Clipboard, EmptyOrMissingTextReadsAsNothing) {
    std::string out = "unchanged";
    EXPECT_FALSE(UTL_GetTextFromClipboard(out));   // never put anything

    ASSERT_TRUE(UTL_SetTextToClipboard(""));
    EXPECT_EQ(UTL_Clipboard_HasClipType(0), 1);    // an empty text item is there
    EXPECT_EQ(UTL_Clipboard_GetSize(0), 0);
    EXPECT_FALSE(UTL_GetTextFromClipboard(out));
    EXPECT_EQ(out, "unchanged");

    ASSERT_TRUE(UTL_SetTextToClipboard("full"));
    ASSERT_TRUE(UTL_Clipboard_SetData(0, nullptr, nullptr, nullptr));   // empties it
    EXPECT_EQ(UTL_Clipboard_HasClipType(0), 0);
    EXPECT_TRUE(types_on_clipboard().empty());
    EXPECT_FALSE(UTL_GetTextFromClipboard(out));
    EXPECT_EQ(out, "unchanged");
}

TEST_F(Clipboard, DataIsCopiedOnlyAtItsExactSize) {
    const int a = UTL_RegisterPrivateClipType("a");
    ASSERT_TRUE(put({{0, "x"}, {a, "12345"}}));
    char buffer[8] = "ABCDEFG";
    EXPECT_FALSE(UTL_Clipboard_GetData(a, 4, buffer));
    EXPECT_FALSE(UTL_Clipboard_GetData(a, 6, buffer));
    EXPECT_FALSE(UTL_Clipboard_GetData(a, -1, buffer));
    EXPECT_STREQ(buffer, "ABCDEFG");
    EXPECT_TRUE(UTL_Clipboard_GetData(a, 5, buffer));
    EXPECT_STREQ(buffer, "12345FG");
    EXPECT_EQ(UTL_Clipboard_GetSize(a), 5);
}

TEST_F(Clipboard, FlavoursOfUnknownCodesAndUnknownIndicesAreLeftOut) {
    ASSERT_TRUE(UTL_SetTextToClipboard("t"));
    platform::clip_ref ref;
    ASSERT_EQ(platform::clipboard_current(ref), 0);
    ASSERT_EQ(platform::clipboard_put(ref, platform::four_char_code("ZZZZ"), platform::clip_sender_only, "z", 1), 0);
    EXPECT_EQ(types_on_clipboard(), std::vector<int>{0});

    // Indices the tables never gave are refused, not read past the tables.
    char buffer[2] = "-";
    for (const int bad : {-1, 7}) {
        EXPECT_EQ(UTL_Clipboard_HasClipType(bad), 0) << bad;
        EXPECT_EQ(UTL_Clipboard_GetSize(bad), 0) << bad;
        EXPECT_FALSE(UTL_Clipboard_GetData(bad, 1, buffer)) << bad;
        const int type = bad, size = 1;
        const void* data = "y";
        EXPECT_FALSE(UTL_Clipboard_SetData(1, &type, &size, &data)) << bad;
    }
    EXPECT_STREQ(buffer, "-");
}

TEST_F(Clipboard, AReferenceTakenBeforeTheClipboardWasClearedPutsNothing) {
    platform::clip_ref before;
    ASSERT_EQ(platform::clipboard_current(before), 0);
    ASSERT_EQ(platform::clipboard_clear(), 0);
    EXPECT_EQ(platform::clipboard_put(before, platform::clip_text_code, 0, "late", 4), platform::clip_changed);
    std::string out = "none";
    EXPECT_FALSE(UTL_GetTextFromClipboard(out));
}

}  // namespace
