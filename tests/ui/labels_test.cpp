#include "ui/labels.h"

#include <gtest/gtest.h>

#include <string>

TEST(Labels, SplitsIntoLeftRightAndHelp) {
    struct row {
        const char* label;
        const char* left;
        const char* right;
        const char* help;
    };
    const row rows[] = {
        {"Name|Value{Tip", "Name", "Value", "Tip"},
        {"Name | Value { Tip", "Name", "Value", "Tip"},
        {"Name  |Value", "Name ", "Value", ""},      // only one blank goes
        {"plain", "plain", "", ""},
        {"|I agree!", "", "I agree!", ""},
        {"{only help", "", "", "only help"},
        {"a{b|c", "a{b", "", "b|c"},                 // "{" before the last "|" belongs to the left text
        {"a|b|c", "a|b", "c", ""},
        {"", "", "", ""},
        {"a | b { c", "a", "b", "c"},
        {"frame rate of movie|(frames per second)", "frame rate of movie", "(frames per second)", ""},
        {"x-resolution of movie|(pix) { The y-resolution is auto-set for you.", "x-resolution of movie", "(pix)",
         "The y-resolution is auto-set for you."},
    };
    for (const row& r : rows) {
        std::string l = "x", rt = "x", h = "x";
        BTN_expand_label(r.label, &l, &rt, &h);
        EXPECT_EQ(l, r.left) << r.label;
        EXPECT_EQ(rt, r.right) << r.label;
        EXPECT_EQ(h, r.help) << r.label;
    }
}
