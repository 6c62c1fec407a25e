// Speed of the handler's hot paths against the floor of the same work done by hand.
//   PellicorBench PATH\Pellicor.dll
// Prints a table of figures, ratios and goals; exits 1 when a goal is missed.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "DropListObject.h"
#include "HandlerClsid.h"
#include "TolmeraContract.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);

class Handler {
public:
    explicit Handler(GetClassObjectFn getClassObject) {
        IClassFactory* factory = NULL;
        if (FAILED(getClassObject(CLSID_ScanShellExt, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
        factory->CreateInstance(NULL, IID_IShellExtInit, reinterpret_cast<void**>(&m_init));
        factory->Release();
        if (m_init) m_init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&m_menu));
    }
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;
    ~Handler() {
        if (m_menu) m_menu->Release();
        if (m_init) m_init->Release();
    }
    bool Ok() const { return m_init && m_menu; }
    IShellExtInit* Init() const { return m_init; }
    IContextMenu* Menu() const { return m_menu; }

private:
    IShellExtInit* m_init = NULL;
    IContextMenu* m_menu = NULL;
};

std::vector<std::wstring> BenchPaths(size_t count) {
    std::vector<std::wstring> paths;
    paths.reserve(count);
    for (size_t i = 0; i < count; ++i)
        paths.push_back(L"C:\\Users\\bench\\Documents\\Projects\\sample folder\\file_" + std::to_wstring(i) + L".txt");
    return paths;
}

// The classic reading: DragQueryFileA from the first file on every call.
size_t DragQueryLoop(HGLOBAL block) {
    HDROP drop = static_cast<HDROP>(block);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0);
    size_t total = 0;
    std::vector<std::string> files(count);
    for (UINT i = 0; i < count; ++i) {
        char path[260] = {0};
        if (DragQueryFileA(drop, i, path, 260)) files[i] = path;
        total += files[i].size();
    }
    return total;
}

template <typename F>
std::vector<double> Repeat(int times, F&& once) {
    std::vector<double> samples;
    for (int i = 0; i < times; ++i) {
        double start = NowMs();
        once();
        samples.push_back(NowMs() - start);
    }
    return samples;
}

// The floor of a hand-off: one reserved buffer, one block, the clipboard calls.
void HandOffFloor(const std::vector<std::string>& files) {
    size_t length = 0;
    for (const std::string& file : files) length += file.size() + 1;
    std::string text;
    text.reserve(length);
    for (const std::string& file : files) {
        text += file;
        text += '|';
    }
    HGLOBAL block = GlobalAlloc(GMEM_DDESHARE, text.size() + 1);
    char* bytes = static_cast<char*>(GlobalLock(block));
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (OpenClipboard(NULL)) {
        EmptyClipboard();
        if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
        CloseClipboard();
    } else {
        GlobalFree(block);
    }
}

std::vector<std::string> NarrowPaths(const std::vector<std::wstring>& wide) {
    std::vector<std::string> narrow;
    for (const std::wstring& path : wide) {
        char text[260] = {0};
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, text, 260, NULL, NULL);
        narrow.push_back(text);
    }
    return narrow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: PellicorBench PATH\\Pellicor.dll\n");
        return 2;
    }
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    HMODULE library = LoadLibraryA(argv[1]);
    auto getClassObject = library ? reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject"))) : NULL;
    if (!getClassObject) {
        std::printf("cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    std::vector<BenchRow> rows;

    // Reading the selection.
    double perPathAt1000 = 0;
    for (size_t n : {1000u, 10000u, 100000u}) {
        std::vector<std::wstring> paths = BenchPaths(n);
        DropListObject selection(BuildWideDropList(paths));
        Handler handler(getClassObject);
        if (!handler.Ok()) return 2;
        HRESULT hr = S_OK;
        int reps = n >= 100000 ? 7 : 15;
        double ours = Median(Repeat(reps, [&] { hr = handler.Init()->Initialize(NULL, &selection, NULL); }));
        if (FAILED(hr)) {
            std::printf("Initialize failed: 0x%08lX\n", static_cast<unsigned long>(hr));
            return 2;
        }
        double perPath = ours / static_cast<double>(n);
        if (n == 1000) perPathAt1000 = perPath;
        std::string what = "Initialize, " + std::to_string(n) + " paths";
        if (n <= 10000) {
            HGLOBAL block = selection.Block();
            double classic = Median(Repeat(n >= 10000 ? 3 : 7, [&] { DragQueryLoop(block); }));
            double ratio = classic / ours;
            rows.push_back({what, Fixed(ours) + " ms; DragQueryFileA loop " + Fixed(classic, 1) + " ms; " + Fixed(ratio, 0) + "x faster",
                            n == 10000 ? ">= 300x faster" : "(reference)", n != 10000 || ratio >= 300});
        } else {
            rows.push_back({what, Fixed(ours) + " ms", "< 50 ms", ours < 50});
            double growth = perPath / perPathAt1000;
            rows.push_back({"Initialize, cost per path at 100000 vs 1000", Fixed(perPath * 1e6, 1) + " ns vs " + Fixed(perPathAt1000 * 1e6, 1) + " ns (" + Fixed(growth, 2) + "x)",
                            "<= 1.5x", growth <= 1.5});
        }
    }

    // Handing off 100,000 paths, with the scanner's event present.
    {
        HANDLE scannerEvent = CreateEventA(NULL, FALSE, FALSE, TOLMERA_HANDOFF_EVENT);
        std::vector<std::wstring> paths = BenchPaths(100000);
        DropListObject selection(BuildWideDropList(paths));
        Handler handler(getClassObject);
        handler.Init()->Initialize(NULL, &selection, NULL);
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(1);
        HRESULT hr = S_OK;
        std::vector<double> ours, floor;
        std::vector<std::string> narrow = NarrowPaths(paths);
        for (int i = 0; i < 9; ++i) {  // side by side, alternately
            double start = NowMs();
            hr = handler.Menu()->InvokeCommand(&info);
            ours.push_back(NowMs() - start);
            start = NowMs();
            HandOffFloor(narrow);
            floor.push_back(NowMs() - start);
        }
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        }
        double ratio = Median(ours) / Median(floor);
        rows.push_back({"InvokeCommand, 100000 paths", Fixed(Median(ours)) + " ms; floor " + Fixed(Median(floor)) + " ms; " + Fixed(ratio, 2) + "x",
                        "<= 3x floor", SUCCEEDED(hr) && ratio <= 3});
        CloseHandle(scannerEvent);
    }

    // Building the menu.
    {
        Handler handler(getClassObject);
        HBITMAP bitmap = LoadBitmapA(library, MAKEINTRESOURCEA(145));
        const int kMenus = 300;
        std::vector<double> ours, floor;
        for (int round = 0; round < 7; ++round) {
            std::vector<HMENU> menus(kMenus), floorMenus(kMenus);
            for (int i = 0; i < kMenus; ++i) {
                menus[i] = CreatePopupMenu();
                floorMenus[i] = CreatePopupMenu();
            }
            double start = NowMs();
            for (HMENU menu : menus) handler.Menu()->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL);
            ours.push_back((NowMs() - start) / kMenus);
            start = NowMs();
            for (HMENU menu : floorMenus) {
                UINT flags = FindWindowA(NULL, TOLMERA_WINDOW_TITLE) ? MF_BYPOSITION | MF_STRING : MF_BYPOSITION | MF_STRING | MF_GRAYED;
                InsertMenuA(menu, 0, MF_SEPARATOR | MF_BYPOSITION, 1, "Igniorato");
                InsertMenuA(menu, 1, flags, 2, "Scan with Tolmera");
                SetMenuItemBitmaps(menu, 1, MF_BYPOSITION | MF_BITMAP, bitmap, bitmap);
                InsertMenuA(menu, 2, MF_SEPARATOR | MF_BYPOSITION, 3, "Igniorato");
            }
            floor.push_back((NowMs() - start) / kMenus);
            for (int i = 0; i < kMenus; ++i) {
                DestroyMenu(menus[i]);
                DestroyMenu(floorMenus[i]);
            }
        }
        double ratio = Median(ours) / Median(floor);
        rows.push_back({"QueryContextMenu, fresh popup", Fixed(Median(ours) * 1000, 1) + " us; floor " + Fixed(Median(floor) * 1000, 1) + " us; " + Fixed(ratio, 2) + "x",
                        "<= 1.2x floor", ratio <= 1.2});
        DeleteObject(bitmap);
    }

    int missed = PrintTable(rows);
    FreeLibrary(library);
    CoUninitialize();
    return missed ? 1 : 0;
}
