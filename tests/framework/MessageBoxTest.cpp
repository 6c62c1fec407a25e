// The framework's message box, at the module's width: type, caption, owner, and a real box.
#include <gtest/gtest.h>

#include "Framework.h"
#include "ImportPatch.h"
#include "MessageBoxWatcher.h"

namespace {

#ifdef UNICODE
const char kOwnVariant[] = "MessageBoxW";
const char kOtherVariant[] = "MessageBoxA";
const wchar_t kExpectedCaption[] = L"framework_tests_wide";
#else
const char kOwnVariant[] = "MessageBoxA";
const char kOtherVariant[] = "MessageBoxW";
const wchar_t kExpectedCaption[] = L"framework_tests";
#endif

struct Recorded {
    int calls = 0;
    HWND owner = NULL;
    CString text, caption;
    UINT type = 0;
} g_recorded;

int WINAPI RecordingMessageBox(HWND owner, LPCTSTR text, LPCTSTR caption, UINT type) {
    ++g_recorded.calls;
    g_recorded.owner = owner;
    g_recorded.text = text;
    g_recorded.caption = caption;
    g_recorded.type = type;
    return IDOK;
}

class AfxMessageBoxTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(AfxWinInit(GetModuleHandle(NULL), NULL));
        g_recorded = Recorded();
    }
};

TEST_F(AfxMessageBoxTest, UsesTheModulesOwnWidth) {
    EXPECT_NE(nullptr, FindImportSlot(GetModuleHandle(NULL), "user32.dll", kOwnVariant));
    EXPECT_EQ(nullptr, FindImportSlot(GetModuleHandle(NULL), "user32.dll", kOtherVariant));
}

TEST_F(AfxMessageBoxTest, PlainOkBoxGetsTheExclamationIcon) {
    struct Row {
        UINT asked;
        UINT shown;
    } rows[] = {
        {MB_OK, MB_OK | MB_ICONEXCLAMATION},
        {MB_OK | MB_ICONINFORMATION, MB_OK | MB_ICONINFORMATION},
        {MB_OK | MB_ICONSTOP, MB_OK | MB_ICONSTOP},
        {MB_YESNO, MB_YESNO},
        {MB_OKCANCEL, MB_OKCANCEL},
        {MB_OK | MB_TOPMOST, MB_OK | MB_TOPMOST | MB_ICONEXCLAMATION},
    };
    ImportPatch patch(GetModuleHandle(NULL), "user32.dll", kOwnVariant, reinterpret_cast<void*>(&RecordingMessageBox));
    for (const Row& row : rows) {
        g_recorded = Recorded();
        EXPECT_EQ(IDOK, AfxMessageBox(TEXT("text"), row.asked));
        EXPECT_EQ(1, g_recorded.calls);
        EXPECT_EQ(row.shown, g_recorded.type) << std::hex << row.asked;
        EXPECT_EQ(nullptr, g_recorded.owner);
        EXPECT_TRUE(g_recorded.caption == CString(AfxGetAppName()));
    }
}

TEST_F(AfxMessageBoxTest, RealBoxShowsCaptionTextAndIcon) {
    MessageBoxWatcher watcher(GetCurrentProcessId());
    EXPECT_EQ(IDOK, AfxMessageBox(TEXT("Apertura evento Fallita!\nErrore: 2")));
    ASSERT_TRUE(watcher.WaitForCount(1, 5000));
    SeenMessageBox box = watcher.Seen().at(0);
    EXPECT_EQ(kExpectedCaption, box.caption);
    EXPECT_EQ(L"Apertura evento Fallita!\nErrore: 2", box.text);
    EXPECT_TRUE(box.exclamationIcon);
    EXPECT_EQ(nullptr, box.owner);
}

TEST_F(AfxMessageBoxTest, RealBoxWithAnotherIconKeepsIt) {
    MessageBoxWatcher watcher(GetCurrentProcessId());
    AfxMessageBox(TEXT("information"), MB_OK | MB_ICONINFORMATION);
    ASSERT_TRUE(watcher.WaitForCount(1, 5000));
    SeenMessageBox box = watcher.Seen().at(0);
    EXPECT_TRUE(box.anyIcon);
    EXPECT_FALSE(box.exclamationIcon);
}

TEST_F(AfxMessageBoxTest, OwnedBoxHasItsOwner) {
    HWND owner = CreateWindowEx(0, TEXT("STATIC"), TEXT("owner window"), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 200, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, owner);
    MessageBoxWatcher watcher(GetCurrentProcessId());
    AfxMessageBoxOwned(owner, TEXT("owned"));
    ASSERT_TRUE(watcher.WaitForCount(1, 5000));
    EXPECT_EQ(owner, watcher.Seen().at(0).owner);
    DestroyWindow(owner);
}

}  // namespace
