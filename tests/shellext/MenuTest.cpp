// The menu: three items at the insert position, their ids and flags, greyed while no scanner
// window exists, the emblem on the scan item.
#include <gtest/gtest.h>

#include <string>

#include "HandlerSteps.h"
#include "ImportPatch.h"
#include "PellicorLibrary.h"

namespace {

struct MenuItem {
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    std::string text;
    HBITMAP checked = nullptr;
    HBITMAP unchecked = nullptr;
};

MenuItem ItemAt(HMENU menu, UINT position) {
    char text[128] = {0};
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
    info.dwTypeData = text;
    info.cch = sizeof(text);
    MenuItem item;
    if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return item;
    item.type = info.fType;
    item.state = info.fState;
    item.id = info.wID;
    item.text = text;
    item.checked = info.hbmpChecked;
    item.unchecked = info.hbmpUnchecked;
    return item;
}

// A context menu as Explorer starts it: two items of its own.
class ExplorerMenu {
public:
    ExplorerMenu() : m_menu(CreatePopupMenu()) {
        AppendMenuA(m_menu, MF_STRING, 1, "Open");
        AppendMenuA(m_menu, MF_STRING, 2, "Properties");
    }
    ~ExplorerMenu() { DestroyMenu(m_menu); }
    HMENU Get() const { return m_menu; }
    int Count() const { return GetMenuItemCount(m_menu); }

private:
    HMENU m_menu;
};

class ScanMenu : public testing::Test {
protected:
    ComApartment apartment;
    Handler handler = CreateHandler();

    void ExpectScanItems(HMENU menu, UINT at, UINT firstId, bool enabled) {
        MenuItem above = ItemAt(menu, at), scan = ItemAt(menu, at + 1), below = ItemAt(menu, at + 2);
        EXPECT_TRUE(above.type & MFT_SEPARATOR);
        EXPECT_EQ(firstId + 0, above.id);
        EXPECT_EQ(static_cast<UINT>(MFT_STRING), scan.type & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW));
        EXPECT_EQ("Scan with Tolmera", scan.text);
        EXPECT_EQ(firstId + 1, scan.id);
        EXPECT_EQ(enabled, (scan.state & MFS_GRAYED) == 0) << std::hex << scan.state;
        EXPECT_TRUE(below.type & MFT_SEPARATOR);
        EXPECT_EQ(firstId + 2, below.id);
    }
};

TEST_F(ScanMenu, GreyedWithoutScannerWindow) {
    ExplorerMenu menu;
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), handler.menu->QueryContextMenu(menu.Get(), 1, 100, 200, CMF_NORMAL));
    ASSERT_EQ(5, menu.Count());
    ExpectScanItems(menu.Get(), 1, 100, false);
    EXPECT_EQ("Open", ItemAt(menu.Get(), 0).text);
    EXPECT_EQ("Properties", ItemAt(menu.Get(), 4).text);
}

TEST_F(ScanMenu, EnabledWhileScannerWindowExistsAskedOnEveryBuild) {
    {
        ScannerStandIn scanner(ScannerStandIn::Options{true, false});
        ExplorerMenu menu;
        EXPECT_EQ(3, HRESULT_CODE(handler.menu->QueryContextMenu(menu.Get(), 0, 7, 200, CMF_NORMAL)));
        ExpectScanItems(menu.Get(), 0, 7, true);
    }
    ExplorerMenu menu;
    handler.menu->QueryContextMenu(menu.Get(), 0, 7, 200, CMF_NORMAL);
    ExpectScanItems(menu.Get(), 0, 7, false);
}

TEST_F(ScanMenu, ScannerWindowOfAnyClassButNotAChild) {
    WNDCLASSA own{};
    own.lpfnWndProc = DefWindowProcA;
    own.lpszClassName = "ScannerMainFrame";
    ASSERT_NE(0, RegisterClassA(&own));
    {
        HWND scanner = CreateWindowExA(0, "ScannerMainFrame", "Tolmera", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                       nullptr, nullptr, nullptr);
        ExplorerMenu menu;
        handler.menu->QueryContextMenu(menu.Get(), 2, 40, 200, CMF_EXPLORE);
        ExpectScanItems(menu.Get(), 2, 40, true);
        DestroyWindow(scanner);
    }
    TestWindow parent;
    HWND child = CreateWindowExA(0, "STATIC", "Tolmera", WS_CHILD, 0, 0, 10, 10, parent.Get(), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, child);
    ExplorerMenu menu;
    handler.menu->QueryContextMenu(menu.Get(), 2, 40, 200, CMF_NORMAL);
    ExpectScanItems(menu.Get(), 2, 40, false);
}

TEST_F(ScanMenu, EveryFlagSetWithoutDefaultOnlyInsertsTheItems) {
    for (UINT flags : {CMF_NORMAL, CMF_VERBSONLY, CMF_EXPLORE, CMF_NOVERBS, CMF_CANRENAME, CMF_EXTENDEDVERBS,
                       CMF_EXPLORE | CMF_CANRENAME | CMF_EXTENDEDVERBS}) {
        ExplorerMenu menu;
        EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), handler.menu->QueryContextMenu(menu.Get(), 0, 1000, 2000, flags));
        EXPECT_EQ(5, menu.Count()) << std::hex << flags;
    }
}

TEST_F(ScanMenu, DefaultOnlyInsertsNothing) {
    for (UINT flags : {CMF_DEFAULTONLY, CMF_DEFAULTONLY | CMF_EXPLORE, CMF_DEFAULTONLY | CMF_EXTENDEDVERBS}) {
        ExplorerMenu menu;
        EXPECT_EQ(S_OK, handler.menu->QueryContextMenu(menu.Get(), 0, 1000, 2000, flags));
        EXPECT_EQ(2, menu.Count());
    }
}

TEST_F(ScanMenu, ShortIdRangeStillGetsThreeItems) {
    ExplorerMenu menu;
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), handler.menu->QueryContextMenu(menu.Get(), 2, 500, 500, CMF_NORMAL));
    ASSERT_EQ(5, menu.Count());
    ExpectScanItems(menu.Get(), 2, 500, false);
}

TEST_F(ScanMenu, EmblemOnTheScanItem) {
    ExplorerMenu menu;
    handler.menu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL);
    MenuItem scan = ItemAt(menu.Get(), 1);
    ASSERT_NE(nullptr, scan.checked);
    EXPECT_EQ(scan.checked, scan.unchecked);
    BITMAP bitmap{};
    ASSERT_EQ(static_cast<int>(sizeof(bitmap)), GetObjectA(scan.checked, sizeof(bitmap), &bitmap));
    EXPECT_EQ(13, bitmap.bmWidth);
    EXPECT_EQ(13, bitmap.bmHeight);
    EXPECT_EQ(nullptr, ItemAt(menu.Get(), 0).checked);
    EXPECT_EQ(nullptr, ItemAt(menu.Get(), 2).checked);
}

HBITMAP WINAPI NoBitmap(HINSTANCE, LPCSTR) { return nullptr; }

TEST_F(ScanMenu, WithoutTheEmblemTheItemsStillCome) {
    Handler bare;
    {
        ImportPatch patch(PellicorModule(), "user32.dll", "LoadBitmapA", reinterpret_cast<void*>(&NoBitmap));
        bare = CreateHandler();
    }
    ExplorerMenu menu;
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), bare.menu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL));
    ExpectScanItems(menu.Get(), 0, 1, false);
    EXPECT_EQ(nullptr, ItemAt(menu.Get(), 1).checked);
}

TEST_F(ScanMenu, TheMenuNeedsNoSelection) {
    // Never initialised, and initialised with a failing selection: the same three items.
    ExplorerMenu menu;
    EXPECT_EQ(3, HRESULT_CODE(handler.menu->QueryContextMenu(menu.Get(), 0, 1, 10, CMF_NORMAL)));
    EXPECT_EQ(E_FAIL, handler.init->Initialize(nullptr, nullptr, nullptr));
    ExplorerMenu again;
    EXPECT_EQ(3, HRESULT_CODE(handler.menu->QueryContextMenu(again.Get(), 0, 1, 10, CMF_NORMAL)));
    ExpectScanItems(again.Get(), 0, 1, false);
}

}  // namespace
