// Reading the selection: one pass over the CF_HDROP block gives what the classic DragQueryFileA
// loop gives, and a block that would lead outside itself is refused.
#include <gtest/gtest.h>

#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"

namespace {

const std::string kZero(1, '\0');

class ReadDropFiles : public testing::Test {
protected:
    ComApartment apartment;
    ScannerStandIn scanner;
    Handler handler = CreateHandler();

    // The selection text the handler hands off after Initialize with `block`.
    std::string HandedOff(const Bytes& block, HRESULT expected = S_OK) {
        CountingDataObject data(block);
        EXPECT_EQ(expected, handler.init->Initialize(nullptr, &data, nullptr));
        EXPECT_EQ(data.GetDataCalls(), data.MediaReleased());
        std::string text = ScannedText(handler.menu.Get(), scanner);
        handler.init->Initialize(nullptr, nullptr, nullptr);  // gives the data object back
        EXPECT_EQ(data.AddRefCalls(), data.ReleaseCalls());
        return text;
    }
};

// Files that do not exist: no short form to turn to, so the entry is what the loop reads.
TEST_F(ReadDropFiles, SameAsTheDragQueryFileLoop) {
    const std::string long300 = "C:\\nonexistent\\" + std::string(285, 'n');
    const std::wstring wlong300(long300.begin(), long300.end());
    const std::string exactly259 = "C:\\" + std::string(256, 'e');
    const std::string exactly260 = "C:\\" + std::string(257, 'f');
    Bytes oddOffset = DropBlockWithList(21, true, AsBytes(std::wstring(L"C:\\odd.txt") + L'\0' + L"D:\\next" + L'\0' + L'\0'));
    Bytes gapAndTail = DropBlockWithList(40, false, AsBytes(std::string("C:\\gap.txt") + kZero + kZero + "trailing junk"));
    Bytes emptyNarrow = NarrowDropBlock({});
    Bytes emptyWide = WideDropBlock({});
    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i) many.push_back("C:\\folder\\file" + std::to_string(i) + ".dat");

    struct Row {
        const char* name;
        Bytes block;
    } rows[] = {
        {"narrow, one", NarrowDropBlock({"C:\\a.exe"})},
        {"narrow, several in order", NarrowDropBlock({"C:\\z.txt", "C:\\a.txt", "D:\\m\\n.doc", "\\\\srv\\share\\x"})},
        {"narrow, ANSI bytes", NarrowDropBlock({"C:\\caf\xe9.txt", "C:\\\xfc\xdf\\\xa9"})},
        {"narrow, 259 bytes", NarrowDropBlock({exactly259})},
        {"narrow, 260 bytes", NarrowDropBlock({exactly260, "C:\\after"})},
        {"narrow, 300 bytes", NarrowDropBlock({"C:\\before", long300, "C:\\after"})},
        {"narrow, empty list", emptyNarrow},
        {"narrow, list after a gap, junk after its end", gapAndTail},
        {"narrow, 300 entries", NarrowDropBlock(many)},
        {"wide, one", WideDropBlock({L"C:\\a.exe"})},
        {"wide, several in order", WideDropBlock({L"C:\\z.txt", L"C:\\a.txt", L"D:\\m\\n.doc"})},
        {"wide, in the code page", WideDropBlock({L"C:\\caf\x00e9.txt", L"C:\\\x00fc\x00df\\\x00a9\x20ac"})},
        {"wide, best fit and '?'", WideDropBlock({L"C:\\nonexistent\\\x0100\x0141\x03a9.txt", L"C:\\nonexistent\\\x0444\x4e2d.txt"})},
        {"wide, 300 characters", WideDropBlock({L"C:\\before", wlong300, L"C:\\after"})},
        {"wide, empty list", emptyWide},
        {"wide, list at an odd offset", oddOffset},
    };
    for (const Row& row : rows) {
        HGLOBAL block = GlobalBlockOf(row.block);
        std::string expected = SelectionText(DragQueryFileLoop(block));
        GlobalFree(block);
        EXPECT_EQ(expected, HandedOff(row.block)) << row.name;
    }
}

TEST_F(ReadDropFiles, EntriesAreCutAt259Bytes) {
    const std::string long300 = "C:\\nonexistent\\" + std::string(285, 'n');
    EXPECT_EQ(long300.substr(0, 259) + "|" + kZero, HandedOff(NarrowDropBlock({long300})));
    const std::wstring wide(long300.begin(), long300.end());
    EXPECT_EQ(long300.substr(0, 259) + "|" + kZero, HandedOff(WideDropBlock({wide})));
}

TEST_F(ReadDropFiles, AnEmptyListIsNoEntries) {
    EXPECT_EQ(kZero, HandedOff(NarrowDropBlock({})));
    EXPECT_EQ(kZero, HandedOff(WideDropBlock({})));
}

TEST_F(ReadDropFiles, TenThousandFilesInOrder) {
    std::vector<std::string> names;
    std::vector<std::wstring> wideNames;
    for (int i = 0; i < 10000; ++i) {
        names.push_back("C:\\selection\\item " + std::to_string(i) + ".bin");
        wideNames.push_back(std::wstring(names.back().begin(), names.back().end()));
    }
    EXPECT_EQ(SelectionText(names), HandedOff(NarrowDropBlock(names)));
    EXPECT_EQ(SelectionText(names), HandedOff(WideDropBlock(wideNames)));
}

TEST_F(ReadDropFiles, MalformedBlocksAreRefusedAndLeaveNoList) {
    auto header = [](DWORD offset, bool wide) { return DropBlockWithList(offset, wide, Bytes()); };
    Bytes shortHeader = NarrowDropBlock({"C:\\a"});
    shortHeader.resize(12);
    Bytes offsetIntoHeader = NarrowDropBlock({"C:\\a"});
    reinterpret_cast<DROPFILES*>(offsetIntoHeader.data())->pFiles = 8;
    Bytes offsetPastEnd = NarrowDropBlock({"C:\\a"});
    reinterpret_cast<DROPFILES*>(offsetPastEnd.data())->pFiles = 4000;
    Bytes hugeOffset = NarrowDropBlock({"C:\\a"});
    reinterpret_cast<DROPFILES*>(hugeOffset.data())->pFiles = 0xFFFFFFF0u;

    struct Row {
        const char* name;
        Bytes block;
    } rows[] = {
        {"shorter than its header", shortHeader},
        {"empty block", Bytes()},
        {"list offset inside the header", offsetIntoHeader},
        {"list offset past the end", offsetPastEnd},
        {"list offset near 4 GB", hugeOffset},
        {"list offset at the very end", header(20, false)},
        {"narrow name without terminator", DropBlockWithList(20, false, AsBytes(std::string("C:\\unterminated")))},
        {"narrow list without final zero", DropBlockWithList(20, false, AsBytes(std::string("C:\\a") + kZero + "C:\\b" + kZero))},
        {"wide name without terminator", DropBlockWithList(20, true, AsBytes(std::wstring(L"C:\\unterminated")))},
        {"wide list without final zero", DropBlockWithList(20, true, AsBytes(std::wstring(L"C:\\a") + L'\0'))},
        {"wide list ending in half a character", DropBlockWithList(20, true, Bytes{'C', 0, ':', 0, 0})},
        {"wide list at odd offset, cut", DropBlockWithList(21, true, Bytes{'C', 0, 0, 0, 0})},
    };
    for (const Row& row : rows) {
        // A good selection first: a refused block must not leave it (or part of itself) behind.
        CountingDataObject good(NarrowDropBlock({"C:\\earlier.txt"}));
        ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &good, nullptr));
        EXPECT_EQ(kZero, HandedOff(row.block, E_FAIL)) << row.name;
    }
}

}  // namespace
