// The clipboard step of the hand-off when it does not go through: held by another program (for
// good, or for a moment), or the block refused. The event then stays unset, so the scanner never
// scans a stale clipboard; the user is told instead.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "ImportPatch.h"
#include "MessageBoxTypes.h"
#include "MessageBoxWatcher.h"
#include "PellicorLibrary.h"
#include "PostedMessages.h"
#include "Processes.h"

namespace {

const std::string kZero(1, '\0');

class NamedEvent {
public:
    explicit NamedEvent(const std::string& name) : m_handle(CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}
    ~NamedEvent() { CloseHandle(m_handle); }
    HANDLE Get() const { return m_handle; }
    bool WaitSet(DWORD ms) const { return WaitForSingleObject(m_handle, ms) == WAIT_OBJECT_0; }

private:
    HANDLE m_handle;
};

std::wstring HolderProgram() { return L"\"" + ProgramFolder() + L"clipboard_holder.exe\""; }

// Another process holding the clipboard open with its own window until told to let go.
class ClipboardHolder {
public:
    ClipboardHolder()
        : m_tag("PellicorClipboardHolder." + std::to_string(GetCurrentProcessId())),
          held(m_tag + ".held"),
          letGo(m_tag + ".letgo"),
          released(m_tag + ".released"),
          m_process(HolderProgram() + L" hold " + std::wstring(m_tag.begin(), m_tag.end())) {
        if (!held.WaitSet(30000)) throw std::runtime_error("the holder did not take the clipboard");
    }
    ~ClipboardHolder() {
        SetEvent(letGo.Get());
        m_process.Wait(30000);
    }
    void LetGo() {
        SetEvent(letGo.Get());
        released.WaitSet(30000);
    }

private:
    std::string m_tag;

public:
    NamedEvent held, letGo, released;

private:
    ChildProcess m_process;
};

// Whether a second process can open the clipboard now (so nobody left it open).
bool ClipboardIsFree() {
    ChildProcess probe(HolderProgram() + L" probe");
    return probe.Wait(30000) == 0;
}

__attribute__((noinline)) DWORD ErrorOpeningHeldClipboard() {
    if (OpenClipboard(nullptr)) {
        CloseClipboard();
        return 0;
    }
    return GetLastError();
}

// Counts Pellicor's OpenClipboard attempts; on the second one, optionally, lets the holder go.
struct OpenAttempts {
    int calls = 0;
    ClipboardHolder* letGoOnSecond = nullptr;
    BOOL(WINAPI* original)(HWND) = nullptr;
} g_open;

BOOL WINAPI CountingOpenClipboard(HWND owner) {
    if (++g_open.calls == 2 && g_open.letGoOnSecond) g_open.letGoOnSecond->LetGo();
    return g_open.original(owner);
}

class ClipboardHandOff : public testing::Test {
protected:
    ComApartment apartment;
    ScannerStandIn scanner;
    TestWindow window;
    CountingDataObject data{NarrowDropBlock({"C:\\a.txt", "C:\\b.txt"})};  // outlives the handler
    Handler handler = CreateHandler();
    const std::string selection = "C:\\a.txt|C:\\b.txt|" + kZero;

    void SetUp() override {
        ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &data, nullptr));
        PutClipboardText("before");
        g_open = OpenAttempts();
    }

    // Invokes the scan item; the boxes seen while it ran and the WM_ENABLE posts.
    std::vector<SeenMessageBox> Invoke(std::vector<PostedEnable>* posts = nullptr) {
        PostedEnableMessages posted;
        MessageBoxWatcher watcher(GetCurrentProcessId());
        EXPECT_EQ(S_OK, InvokeOffset(handler.menu.Get(), 1, window.Get()));
        if (posts) *posts = posted.Drain();
        return watcher.Seen();
    }
};

TEST_F(ClipboardHandOff, HeldThroughoutByAnotherProgram) {
    ClipboardHolder holder;
    DWORD expectedError = ErrorOpeningHeldClipboard();
    ASSERT_NE(0u, expectedError);
    ImportPatch patch(PellicorModule(), "user32.dll", "OpenClipboard", reinterpret_cast<void*>(&CountingOpenClipboard));
    g_open.original = patch.Original<BOOL(WINAPI*)(HWND)>();

    std::vector<PostedEnable> posts;
    MessageBoxTypes asked;
    std::vector<SeenMessageBox> boxes = Invoke(&posts);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Pellicor", boxes[0].caption);
    EXPECT_EQ(L"Apertura Appunti Fallita!\nErrore: " + std::to_wstring(expectedError), boxes[0].text);
    EXPECT_TRUE(boxes[0].anyIcon);
    ASSERT_EQ(1u, asked.Asked().size());
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), asked.Asked()[0].type);
    EXPECT_EQ(window.Get(), boxes[0].owner);
    EXPECT_FALSE(scanner.TakeEvent());
    ASSERT_EQ(2u, posts.size());
    EXPECT_EQ(0u, posts[0].enable);
    EXPECT_EQ(1u, posts[1].enable);
    // Tried again before giving up, but not without end.
    EXPECT_GE(g_open.calls, 2);
    EXPECT_LE(g_open.calls, 50);

    holder.LetGo();
    EXPECT_EQ("before" + kZero, ClipboardText());
}

TEST_F(ClipboardHandOff, HeldForAMomentThenTheHandOffGoesThrough) {
    ClipboardHolder holder;
    ImportPatch patch(PellicorModule(), "user32.dll", "OpenClipboard", reinterpret_cast<void*>(&CountingOpenClipboard));
    g_open.original = patch.Original<BOOL(WINAPI*)(HWND)>();
    g_open.letGoOnSecond = &holder;

    std::vector<SeenMessageBox> boxes = Invoke();
    EXPECT_TRUE(boxes.empty());
    EXPECT_GE(g_open.calls, 2);  // the first attempt met the holder
    EXPECT_TRUE(scanner.TakeEvent());
    EXPECT_EQ(selection, ClipboardText());
}

// Faults in the block: each fake fails one call with its own error code.
struct BlockFaults {
    std::set<HGLOBAL> allocated, freed, offered;
    HGLOBAL(WINAPI* alloc)(UINT, SIZE_T) = nullptr;
    HGLOBAL(WINAPI* free)(HGLOBAL) = nullptr;
    HANDLE(WINAPI* setData)(UINT, HANDLE) = nullptr;
} g_block;

HGLOBAL WINAPI TrackedGlobalAlloc(UINT flags, SIZE_T size) {
    HGLOBAL block = g_block.alloc(flags, size);
    g_block.allocated.insert(block);
    return block;
}
HGLOBAL WINAPI TrackedGlobalFree(HGLOBAL block) {
    g_block.freed.insert(block);
    return g_block.free(block);
}
HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
LPVOID WINAPI FailingGlobalLock(HGLOBAL) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}
HANDLE WINAPI RefusingSetClipboardData(UINT, HANDLE data) {
    g_block.offered.insert(data);
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
}

TEST_F(ClipboardHandOff, BlockThatCannotBeMadeOrHandedOver) {
    // A block that cannot be made leaves the user's clipboard alone; one refused at the hand-over
    // comes after the clipboard was emptied for it.
    struct Row {
        const char* function;
        void* fake;
        DWORD error;
        const char* clipboardAfter;
    } rows[] = {
        {"GlobalAlloc", reinterpret_cast<void*>(&FailingGlobalAlloc), ERROR_NOT_ENOUGH_MEMORY, "before"},
        {"GlobalLock", reinterpret_cast<void*>(&FailingGlobalLock), ERROR_INVALID_HANDLE, "before"},
        {"SetClipboardData", reinterpret_cast<void*>(&RefusingSetClipboardData), ERROR_CLIPBOARD_NOT_OPEN, nullptr},
    };
    for (const Row& row : rows) {
        g_block = BlockFaults();
        std::vector<SeenMessageBox> boxes;
        std::vector<PostedEnable> posts;
        {
            std::unique_ptr<ImportPatch> alloc, free;
            if (std::string(row.function) != "GlobalAlloc") {
                alloc.reset(new ImportPatch(PellicorModule(), "kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&TrackedGlobalAlloc)));
                g_block.alloc = alloc->Original<HGLOBAL(WINAPI*)(UINT, SIZE_T)>();
            }
            free.reset(new ImportPatch(PellicorModule(), "kernel32.dll", "GlobalFree", reinterpret_cast<void*>(&TrackedGlobalFree)));
            g_block.free = free->Original<HGLOBAL(WINAPI*)(HGLOBAL)>();
            ImportPatch fault(PellicorModule(), std::string(row.function) == "SetClipboardData" ? "user32.dll" : "kernel32.dll",
                              row.function, row.fake);
            boxes = Invoke(&posts);
        }
        ASSERT_EQ(1u, boxes.size()) << row.function;
        EXPECT_EQ(L"Apertura Appunti Fallita!\nErrore: " + std::to_wstring(row.error), boxes[0].text) << row.function;
        EXPECT_EQ(L"Pellicor", boxes[0].caption) << row.function;
        EXPECT_FALSE(scanner.TakeEvent()) << row.function;
        ASSERT_EQ(2u, posts.size()) << row.function;
        EXPECT_EQ(1u, posts[1].enable) << row.function;
        EXPECT_EQ(row.clipboardAfter ? row.clipboardAfter + kZero : "<none>", ClipboardText()) << row.function;
        EXPECT_TRUE(ClipboardIsFree()) << row.function;
        // Every block made was freed again: the clipboard never took one.
        EXPECT_EQ(g_block.allocated, g_block.freed) << row.function;
        for (HGLOBAL offered : g_block.offered) EXPECT_EQ(1u, g_block.freed.count(offered)) << row.function;
    }
    EXPECT_FALSE(g_block.offered.empty());
}

TEST_F(ClipboardHandOff, AfterASuccessTheClipboardIsFreeForOthers) {
    EXPECT_TRUE(Invoke().empty());
    EXPECT_TRUE(scanner.TakeEvent());
    EXPECT_TRUE(ClipboardIsFree());
    EXPECT_EQ(selection, ClipboardText());
}

}  // namespace
