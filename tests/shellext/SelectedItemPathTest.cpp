// Items whose full path the scanner could not open in the ANSI code page (too long, or holding
// characters the code page lacks) reach it by their short (8.3) path, which opens that very item.
#include <gtest/gtest.h>

#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"
#include "ShellSelection.h"

namespace {

// The entries of a selection text.
std::vector<std::string> Entries(const std::string& text) {
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
        entries.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    EXPECT_EQ(std::string(1, '\0'), text.substr(start));
    return entries;
}

class SelectedItemPath : public testing::Test {
protected:
    ComApartment apartment;
    ScannerStandIn scanner;
    TempFolder temp;
    Handler handler = CreateHandler();

    std::vector<std::string> HandedOff(IDataObject* data) {
        EXPECT_EQ(S_OK, handler.init->Initialize(nullptr, data, nullptr));
        std::vector<std::string> entries = Entries(ScannedText(handler.menu.Get(), scanner));
        handler.init->Initialize(nullptr, nullptr, nullptr);  // gives the data object back
        return entries;
    }

    static void ExpectOpensTheItem(const std::string& entry, const std::wstring& item) {
        EXPECT_LE(entry.size(), 259u) << entry;
        ASSERT_FALSE(FileIdentity(item).empty());
        EXPECT_EQ(FileIdentity(item), FileIdentityA(entry)) << entry;
    }
};

const std::wstring kNonAnsiFile = L"\x03a9mega \x0444\x0430\x0439\x043b.txt";
const std::wstring kNonAnsiFolder = L"\x0434\x0438\x0440 \x4e2d";

TEST_F(SelectedItemPath, NamesOutsideTheCodePageGoByTheirShortPath) {
    std::wstring plain = temp.MakeFile(L"plain.txt");
    std::wstring accented = temp.MakeFile(L"caf\x00e9 cr\x00e8me.txt");
    std::wstring nonAnsi = temp.MakeFile(kNonAnsiFile);
    std::wstring nonAnsiFolder = temp.MakeFolder(kNonAnsiFolder);
    ComRef<IDataObject> data =
        ShellDataObject(temp.Path(), {L"plain.txt", L"caf\x00e9 cr\x00e8me.txt", kNonAnsiFile, kNonAnsiFolder});

    std::vector<std::string> entries = HandedOff(data.Get());
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ(Narrow(plain), entries[0]);      // representable: the full path as it is
    EXPECT_EQ(Narrow(accented), entries[1]);
    EXPECT_NE(Narrow(nonAnsi), entries[2]);    // the lossy form names no file
    ExpectOpensTheItem(entries[0], plain);
    ExpectOpensTheItem(entries[1], accented);
    ExpectOpensTheItem(entries[2], nonAnsi);
    ExpectOpensTheItem(entries[3], nonAnsiFolder);
    EXPECT_EQ(std::string::npos, entries[2].find('?'));
}

TEST_F(SelectedItemPath, PathsLongerThan259BytesGoByTheirShortPath) {
    std::wstring deepFolder;
    for (wchar_t letter = L'a'; letter < L'f'; ++letter) deepFolder += (deepFolder.empty() ? L"" : L"\\") + std::wstring(50, letter) + L" dir";
    std::wstring deepFile = temp.MakeFile(deepFolder + L"\\deep file.txt");
    std::wstring nearby = temp.MakeFile(L"nearby.txt");
    ASSERT_GT(deepFile.size(), 259u);

    // A wide block and a narrow one, as shell data objects and older programs make them.
    CountingDataObject wide(WideDropBlock({nearby, deepFile}));
    std::vector<std::string> entries = HandedOff(&wide);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(Narrow(nearby), entries[0]);
    ExpectOpensTheItem(entries[1], deepFile);

    CountingDataObject narrow(NarrowDropBlock({Narrow(deepFile), Narrow(nearby)}));
    entries = HandedOff(&narrow);
    ASSERT_EQ(2u, entries.size());
    ExpectOpensTheItem(entries[0], deepFile);
    EXPECT_EQ(Narrow(nearby), entries[1]);
}

TEST_F(SelectedItemPath, LongAndForeignTogether) {
    std::wstring deepFolder;
    for (wchar_t letter = L'k'; letter < L'p'; ++letter) deepFolder += (deepFolder.empty() ? L"" : L"\\") + std::wstring(55, letter);
    std::wstring both = temp.MakeFile(deepFolder + L"\\" + kNonAnsiFile);
    CountingDataObject data(WideDropBlock({both}));
    std::vector<std::string> entries = HandedOff(&data);
    ASSERT_EQ(1u, entries.size());
    ExpectOpensTheItem(entries[0], both);
}

TEST_F(SelectedItemPath, WithoutAShortFormTheEntryStaysAsRead) {
    // Gone before the click: there is no short form to find, so the entry is the usual reading.
    std::wstring vanished = temp.Path() + L"\\" + kNonAnsiFile;
    CountingDataObject data(WideDropBlock({vanished}));
    std::vector<std::string> entries = HandedOff(&data);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(Narrow(vanished), entries[0]);
}

}  // namespace
