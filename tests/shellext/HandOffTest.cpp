// The hand-off: the exact selection text on the clipboard, the event, WM_ENABLE 0 then 1, string
// verbs, every offset, and the failure box when no scanner waits.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "ImportPatch.h"
#include "MessageBoxTypes.h"
#include "MessageBoxWatcher.h"
#include "PellicorLibrary.h"
#include "PostedMessages.h"

namespace {

const std::string kZero(1, '\0');

class HandOff : public testing::Test {
protected:
    ComApartment apartment;

private:
    // Outlive the handler, which may still hold the last of them.
    std::vector<std::unique_ptr<CountingDataObject>> m_data;

protected:
    Handler handler = CreateHandler();

    void Select(const Bytes& block) {
        m_data.emplace_back(new CountingDataObject(block));
        ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, m_data.back().get(), nullptr));
    }
};

TEST_F(HandOff, ExactBytesOnTheClipboard) {
    const std::string path259 = "C:\\" + std::string(248, 'p') + "\\end.txt";
    ASSERT_EQ(259u, path259.size());
    struct Row {
        const char* name;
        std::vector<std::string> paths;
        std::string text;
    } rows[] = {
        {"empty list", {}, kZero},
        {"two paths", {"C:\\a.exe", "D:\\b.doc"}, "C:\\a.exe|D:\\b.doc|" + kZero},
        {"259-byte path", {path259}, path259 + "|" + kZero},
        {"ANSI bytes beyond ASCII", {"C:\\caf\xe9\\\xfc\xdf.txt", "C:\\\xa9 \xb5"}, "C:\\caf\xe9\\\xfc\xdf.txt|C:\\\xa9 \xb5|" + kZero},
        {"spaces and dots", {"C:\\Program Files\\x y.z", "\\\\server\\share\\f.txt"},
         "C:\\Program Files\\x y.z|\\\\server\\share\\f.txt|" + kZero},
    };
    ScannerStandIn scanner;
    for (const Row& row : rows) {
        Select(NarrowDropBlock(row.paths));
        std::string text = ScannedText(handler.menu.Get(), scanner);
        EXPECT_EQ(row.text, text) << row.name;
    }
    Select(NarrowDropBlock({path259}));
    EXPECT_EQ(261u, ScannedText(handler.menu.Get(), scanner).size());
}

// A name the system cannot convert stays an empty entry in its place: two separators in a row.
int(WINAPI* g_convert)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, LPBOOL) = nullptr;

int WINAPI UnreadableName(UINT page, DWORD flags, LPCWSTR text, int length, LPSTR out, int size, LPCSTR fallback,
                          LPBOOL used) {
    std::wstring name = length < 0 ? std::wstring(text) : std::wstring(text, static_cast<size_t>(length));
    if (name.find(L"unreadable") != std::wstring::npos) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return g_convert(page, flags, text, length, out, size, fallback, used);
}

TEST_F(HandOff, EmptyEntryBetweenTwoOthers) {
    ScannerStandIn scanner;
    {
        ImportPatch patch(PellicorModule(), "kernel32.dll", "WideCharToMultiByte", reinterpret_cast<void*>(&UnreadableName));
        g_convert = patch.Original<decltype(g_convert)>();
        // Not plain ASCII, so the name goes through the conversion that fails.
        Select(WideDropBlock({L"C:\\first.txt", L"C:\\unreadable\u00e9.txt", L"C:\\last.txt"}));
    }
    EXPECT_EQ("C:\\first.txt||C:\\last.txt|" + kZero, ScannedText(handler.menu.Get(), scanner));
}

TEST_F(HandOff, ClipboardFirstThenTheEvent) {
    // The scanner wakes on the event and reads at once: by then the text must be there.
    Select(NarrowDropBlock({"C:\\x.txt"}));
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, kHandoffEventName);
    std::string seenOnWake;
    std::thread reader([&] {
        if (WaitForSingleObject(event, 30000) == WAIT_OBJECT_0) seenOnWake = ClipboardText();
    });
    PutClipboardText("before");
    EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1));
    reader.join();
    EXPECT_EQ("C:\\x.txt|" + kZero, seenOnWake);
    CloseHandle(event);
}

TEST_F(HandOff, EnableZeroThenOneToTheInvokingWindow) {
    ScannerStandIn scanner;
    TestWindow window;
    Select(NarrowDropBlock({"C:\\a.txt"}));
    PostedEnableMessages posted;
    EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1, window.Get()));
    std::vector<PostedEnable> seen = posted.Drain();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(window.Get(), seen[0].hwnd);
    EXPECT_EQ(0u, seen[0].enable);
    EXPECT_EQ(window.Get(), seen[1].hwnd);
    EXPECT_EQ(1u, seen[1].enable);
    EXPECT_TRUE(IsWindowEnabled(window.Get()));  // told, never changed
    EXPECT_TRUE(scanner.TakeEvent());
}

TEST_F(HandOff, NullWindowStillGetsBothPosts) {
    ScannerStandIn scanner;
    Select(NarrowDropBlock({"C:\\a.txt"}));
    PostedEnableMessages posted;
    EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1, nullptr));
    std::vector<PostedEnable> seen = posted.Drain();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(nullptr, seen[0].hwnd);
    EXPECT_EQ(0u, seen[0].enable);
    EXPECT_EQ(nullptr, seen[1].hwnd);
    EXPECT_EQ(1u, seen[1].enable);
    EXPECT_TRUE(scanner.TakeEvent());
}

TEST_F(HandOff, StringVerbsAreNotOurs) {
    ScannerStandIn scanner;
    TestWindow window;
    Select(NarrowDropBlock({"C:\\a.txt"}));
    PutClipboardText("the user's own text");
    DWORD sequence = GetClipboardSequenceNumber();
    PostedEnableMessages posted;
    for (const char* verb : {"open", "scan", "Scan with Tolmera", "", "properties"}) {
        EXPECT_EQ(S_OK, InvokeVerb(handler.menu.Get(), verb, window.Get())) << verb;
    }
    EXPECT_TRUE(posted.Drain().empty());
    EXPECT_FALSE(scanner.TakeEvent());
    EXPECT_EQ(sequence, GetClipboardSequenceNumber());
    EXPECT_EQ("the user's own text" + kZero, ClipboardText());
}

// On 64-bit Windows a verb's address can have nothing in bits 16 to 31 and still be an address.
TEST_F(HandOff, StringVerbAboveFourGigabytesIsNoOffset) {
#ifndef _WIN64
    GTEST_SKIP() << "addresses have 32 bits here";
#else
    void* page = nullptr;
    for (ULONG_PTR base = 0x200000000ull; !page && base < 0x7F000000000ull; base += 0x100000000ull)
        page = VirtualAlloc(reinterpret_cast<void*>(base), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(nullptr, page);
    char* verb = static_cast<char*>(page) + 0x10;
    strcpy(verb, "open");
    ASSERT_EQ(0u, (reinterpret_cast<ULONG_PTR>(verb) >> 16) & 0xFFFF);

    ScannerStandIn scanner;
    Select(NarrowDropBlock({"C:\\a.txt"}));
    PutClipboardText("the user's own text");
    PostedEnableMessages posted;
    EXPECT_EQ(S_OK, InvokeVerb(handler.menu.Get(), verb));
    EXPECT_TRUE(posted.Drain().empty());
    EXPECT_FALSE(scanner.TakeEvent());
    EXPECT_EQ("the user's own text" + kZero, ClipboardText());
    VirtualFree(page, 0, MEM_RELEASE);
#endif
}

TEST_F(HandOff, EveryOffsetRunsTheHandOff) {
    ScannerStandIn scanner;
    Select(NarrowDropBlock({"C:\\one.txt", "C:\\two.txt"}));
    for (UINT offset : {0u, 1u, 2u, 3u, 77u, 0xFFFFu}) {
        PutClipboardText("stale");
        PostedEnableMessages posted;
        EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), offset));
        EXPECT_TRUE(scanner.TakeEvent()) << offset;
        EXPECT_EQ("C:\\one.txt|C:\\two.txt|" + kZero, ClipboardText()) << offset;
        EXPECT_EQ(2u, posted.Drain().size()) << offset;
    }
}

TEST_F(HandOff, TwiceGivesTheSameTextTwice) {
    ScannerStandIn scanner;
    Select(NarrowDropBlock({"C:\\again.txt"}));
    for (int round = 0; round < 2; ++round) {
        PutClipboardText("stale");
        EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1));
        EXPECT_TRUE(scanner.TakeEvent()) << round;
        EXPECT_EQ("C:\\again.txt|" + kZero, ClipboardText()) << round;
    }
}

__attribute__((noinline)) DWORD ErrorOpeningMissingEvent() {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, kHandoffEventName);
    DWORD error = GetLastError();
    if (event) CloseHandle(event);
    return error;
}

TEST_F(HandOff, NoScannerEventShowsTheFailureAfterWritingTheClipboard) {
    DWORD expectedError = ErrorOpeningMissingEvent();
    ASSERT_NE(0u, expectedError);
    TestWindow window;
    Select(NarrowDropBlock({"C:\\a.txt", "C:\\b.txt"}));
    PutClipboardText("stale");
    PostedEnableMessages posted;
    MessageBoxTypes asked;
    MessageBoxWatcher watcher(GetCurrentProcessId());
    EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1, window.Get()));
    ASSERT_TRUE(watcher.WaitForCount(1, 10000));
    SeenMessageBox box = watcher.Seen().at(0);
    EXPECT_EQ(L"Pellicor", box.caption);
    EXPECT_EQ(L"Apertura evento Fallita!\nErrore: " + std::to_wstring(expectedError), box.text);
    EXPECT_TRUE(box.anyIcon);
    ASSERT_EQ(1u, asked.Asked().size());
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), asked.Asked()[0].type);
    EXPECT_EQ("C:\\a.txt|C:\\b.txt|" + kZero, ClipboardText());
    std::vector<PostedEnable> seen = posted.Drain();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0u, seen[0].enable);
    EXPECT_EQ(1u, seen[1].enable);
    EXPECT_EQ(1u, watcher.Seen().size());
}

// The box comes up in front of the window that asked: owned by its top-level window.
TEST_F(HandOff, FailureBoxOwner) {
    TestWindow topLevel;
    TestWindow child(topLevel.Get());
    HWND gone;
    {
        TestWindow closed;
        gone = closed.Get();
    }
    struct Row {
        const char* name;
        HWND invoking;
        HWND owner;
    } rows[] = {
        {"top-level window", topLevel.Get(), topLevel.Get()},
        {"child window", child.Get(), topLevel.Get()},
        {"no window", nullptr, nullptr},
        {"window that no longer exists", gone, nullptr},
    };
    Select(NarrowDropBlock({"C:\\a.txt"}));
    for (const Row& row : rows) {
        MessageBoxWatcher watcher(GetCurrentProcessId());
        EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1, row.invoking)) << row.name;
        ASSERT_TRUE(watcher.WaitForCount(1, 10000)) << row.name;
        EXPECT_EQ(row.owner, watcher.Seen().at(0).owner) << row.name;
        EXPECT_EQ(L"Pellicor", watcher.Seen().at(0).caption) << row.name;
    }
}

}  // namespace
