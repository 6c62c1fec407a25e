// Ten thousand whole uses of the handler, the way Explorer uses it with the scanner running:
// afterwards the process holds as many handles, GDI and USER objects as before.
#include <gtest/gtest.h>

#include <winternl.h>

#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "CountingDataObject.h"
#include "ImportPatch.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"

namespace {

const int kCycles = 10000;

struct ResourceCounts {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

// The process's handles as the system's handle list shows them: Wine's GetProcessHandleCount
// reads 0 whatever is open.
DWORD HandlesInSystemList() {
    struct Entry {
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using QueryFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        NTSTATUS status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<NTSTATUS>(0xC0000004L) /* info length mismatch */) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return 0;
        break;
    }
    ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    DWORD ours = 0;
    for (ULONG i = 0; i < count; ++i)
        if (entries[i].processId == GetCurrentProcessId()) ++ours;
    return ours;
}

ResourceCounts CountResources() {
    ResourceCounts counts;
    GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
    if (counts.handles == 0) counts.handles = HandlesInSystemList();
    counts.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return counts;
}

// Every bitmap Pellicor loads, so that each can be checked to be gone once its handler is: the
// one GDI object it makes, checked by itself where the platform's GDI count reads 0 (Wine).
std::vector<HGDIOBJ> g_loadedBitmaps;
using LoadBitmapFn = HBITMAP(WINAPI*)(HINSTANCE, LPCSTR);
LoadBitmapFn g_loadBitmap = nullptr;

HBITMAP WINAPI RecordingLoadBitmap(HINSTANCE module, LPCSTR name) {
    HBITMAP bitmap = g_loadBitmap(module, name);
    if (bitmap) g_loadedBitmaps.push_back(bitmap);
    return bitmap;
}

class BitmapLedger {
public:
    BitmapLedger()
        : m_patch(new ImportPatch(PellicorModule(), "user32.dll", "LoadBitmapA", reinterpret_cast<void*>(&RecordingLoadBitmap))) {
        g_loadBitmap = m_patch->Original<LoadBitmapFn>();
        g_loadedBitmaps.clear();
    }
    // Bitmaps loaded since the last call; how many of them still exist.
    int StillThere(int& loaded) {
        int alive = 0;
        for (HGDIOBJ bitmap : g_loadedBitmaps)
            if (GetObjectType(bitmap) != 0) ++alive;
        loaded = static_cast<int>(g_loadedBitmaps.size());
        g_loadedBitmaps.clear();
        return alive;
    }

private:
    std::unique_ptr<ImportPatch> m_patch;
};

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Create, Initialize, QueryContextMenu, InvokeCommand, release; false when a step failed or the
// scanner was not told.
bool OneUse(const Bytes& selection, ScannerStandIn& scanner, HWND explorer) {
    bool ok = true;
    {
        Handler handler = CreateHandler();
        CountingDataObject data(selection);
        ok &= handler.init->Initialize(nullptr, &data, nullptr) == S_OK;
        HMENU menu = CreatePopupMenu();
        ok &= handler.menu->QueryContextMenu(menu, 0, 100, 200, CMF_NORMAL) == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3);
        scanner.TakeEvent();
        ok &= InvokeOffset(handler.menu.Get(), 1, explorer) == S_OK;
        ok &= scanner.TakeEvent();
        DestroyMenu(menu);
        handler = Handler();
        ok &= data.AddRefCalls() == data.ReleaseCalls() && data.MediaReleased() == data.GetDataCalls();
    }
    DrainMessages();
    return ok;
}

// The counts seen here move when a thing of their kind is made and kept, or the comparison below
// would prove nothing.
TEST(Leaks, TheCountsSeeWhatIsKept) {
    ResourceCounts before = CountResources();
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HMENU menu = CreatePopupMenu();
    ResourceCounts during = CountResources();
    DestroyMenu(menu);
    DeleteObject(bitmap);
    CloseHandle(event);
    EXPECT_EQ(before.handles + 1, during.handles);
    if (during.gdiObjects == 0 && during.userObjects == 0)
        GTEST_SKIP() << "GetGuiResources reads 0 here: GDI and USER objects are not counted by this platform";
    EXPECT_LT(before.gdiObjects, during.gdiObjects);
    EXPECT_LT(before.userObjects, during.userObjects);
}

TEST(Leaks, TenThousandUsesKeepNothing) {
    ComApartment apartment;
    ScannerStandIn scanner;
    TestWindow explorer;
    const Bytes selection = NarrowDropBlock({"C:\\nonexistent\\first.txt", "C:\\nonexistent\\second folder"});
    ASSERT_TRUE(OneUse(selection, scanner, explorer.Get()));  // warm-up: first-use caches of the platform
    ResourceCounts before = CountResources();
    int failed = 0, bitmapsKept = 0, bitmapsLoaded = 0;
    {
        BitmapLedger bitmaps;
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            if (!OneUse(selection, scanner, explorer.Get())) ++failed;
            int loaded = 0;
            bitmapsKept += bitmaps.StillThere(loaded);
            bitmapsLoaded += loaded;
        }
    }
    ResourceCounts after = CountResources();
    std::printf("handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu\n", before.handles, after.handles,
                before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects);
    EXPECT_EQ(0, failed);
    EXPECT_EQ(kCycles, bitmapsLoaded);
    EXPECT_EQ(0, bitmapsKept);
    EXPECT_EQ(before.handles, after.handles);
    EXPECT_EQ(before.gdiObjects, after.gdiObjects);
    EXPECT_EQ(before.userObjects, after.userObjects);
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

}  // namespace
