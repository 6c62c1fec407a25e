// How the counterpart splits the selection text: every path followed by "|".
#include <gtest/gtest.h>

#include "SelectionText.h"

namespace {

TEST(SplitSelectionText, WellFormedTexts) {
    struct Row {
        std::string text;
        std::vector<std::string> entries;
    } rows[] = {
        {"", {}},
        {"C:\\a.exe|D:\\b.doc|", {"C:\\a.exe", "D:\\b.doc"}},
        {"C:\\a.exe||D:\\b.doc|", {"C:\\a.exe", "", "D:\\b.doc"}},
        {"|", {""}},
        {"||", {"", ""}},
        {"C:\\Caf\xe9\\men\xf9.txt|", {"C:\\Caf\xe9\\men\xf9.txt"}},
    };
    for (const Row& row : rows) {
        SelectionList list = SplitSelectionText(row.text);
        EXPECT_TRUE(list.ok) << row.text;
        EXPECT_EQ(row.entries, list.entries) << row.text;
    }
}

TEST(SplitSelectionText, TextAfterTheLastSeparatorIsMalformed) {
    for (const char* text : {"C:\\a.exe", "C:\\a.exe|D:\\b.doc", "a|b"}) {
        SelectionList list = SplitSelectionText(text);
        EXPECT_FALSE(list.ok) << text;
        EXPECT_TRUE(list.entries.empty()) << text;
        EXPECT_NE(std::string::npos, list.error.find("after the last separator")) << text;
    }
}

}  // namespace
