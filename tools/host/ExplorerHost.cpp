// Does with context-menu handlers what Explorer does, for the given paths:
//   ExplorerHost [--show] [--invoke TEXT] PATH...
// --show shows the real popup menu and carries out the picked item; otherwise the item whose
// text is TEXT (default "Scan with Tolmera") is carried out without showing the menu.
// Exit code: 0 done, 2 no such item, 3 item greyed, 4 nothing picked, 1 any other failure.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ContextMenuSession.h"
#include "DropListObject.h"
#include "HandlerLookup.h"
#include "ShellSelection.h"

namespace {

void Say(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, NULL, NULL);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

HMENU g_shownMenu = NULL;

BOOL CALLBACK FindPopup(HWND hwnd, LPARAM found) {
    wchar_t cls[16] = {0};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpW(cls, L"#32768") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// Where each item of the shown menu is on the screen, once it is up (for a person or a script
// that picks one with the mouse).
void SayItemRectangles(HWND hwnd) {
    HWND popup = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindPopup, reinterpret_cast<LPARAM>(&popup));
    RECT popupRect{};
    GetWindowRect(popup, &popupRect);
    int count = GetMenuItemCount(g_shownMenu);
    for (int position = 0; position < count; ++position) {
        RECT rect{};
        wchar_t text[256] = {0};
        GetMenuStringW(g_shownMenu, position, text, 255, MF_BYPOSITION);
        if (!text[0] || !GetMenuItemRect(hwnd, g_shownMenu, position, &rect)) continue;
        POINT topLeft = {rect.left, rect.top};
        if (popup && !PtInRect(&popupRect, topLeft)) {
            // Wine gives the rectangle relative to the owner's client area, not the screen.
            POINT origin = {0, 0};
            ClientToScreen(hwnd, &origin);
            OffsetRect(&rect, popupRect.left - origin.x, popupRect.top - origin.y);
        }
        Say(L"host: item \"" + std::wstring(text) + L"\" on screen at " + std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) +
            L" " + std::to_wstring(rect.right) + L"," + std::to_wstring(rect.bottom));
    }
    g_shownMenu = NULL;
}

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENABLE) Say(L"host: window received WM_ENABLE " + std::to_wstring(wParam));
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && g_shownMenu) SayItemRectangles(hwnd);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateHostWindow() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = HostWindowProc;
    cls.hInstance = GetModuleHandleW(NULL);
    cls.lpszClassName = L"ExplorerHostWindow";
    RegisterClassW(&cls);
    return CreateWindowExW(0, cls.lpszClassName, L"Explorer Host", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, NULL, NULL,
                           cls.hInstance, NULL);
}

void PumpPendingMessages(HWND hwnd) {
    MSG msg;
    while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void Describe(const std::vector<MenuEntry>& items) {
    for (const MenuEntry& item : items) {
        std::wstring line = L"host:   [" + std::to_wstring(item.position) + L"] id " + std::to_wstring(item.id) + L" ";
        line += item.separator ? L"separator" : L"\"" + item.text + L"\"";
        if (!item.separator) line += item.greyed ? L" greyed" : L" enabled";
        if (item.hasBitmap) line += L" with bitmap";
        Say(line);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool show = false;
    std::wstring wanted = L"Scan with Tolmera";
    std::vector<std::wstring> paths;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--show") show = true;
        else if (arg == L"--invoke" && i + 1 < argc) wanted = argv[++i];
        else paths.push_back(arg);
    }
    if (paths.empty()) {
        Say(L"usage: ExplorerHost [--show] [--invoke TEXT] PATH...");
        return 1;
    }
    if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))) return 1;
    int exitCode = 1;
    {
        HWND window = CreateHostWindow();
        HRESULT hr = S_OK;
        IDataObject* selection = CreateShellSelection(window, paths, &hr);
        if (!selection) {
            // Wine's shell cannot name an item whose path is longer than MAX_PATH; Windows' can.
            Say(L"host: the shell gave no data object for the selection (" + Hex(hr) + L"); using a drop list of the paths");
            selection = new DropListObject(BuildWideDropList(paths));
        }
        {
            ContextMenuSession session(window);
            for (const RegisteredHandler& handler : FindContextMenuHandlers(paths)) {
                hr = session.AddHandler(handler, selection);
                Say(L"host: handler \"" + handler.name + L"\" " + (SUCCEEDED(hr) ? L"added " + std::to_wstring(HRESULT_CODE(hr)) + L" command ids" : L"failed " + Hex(hr)));
            }
            selection->Release();
            session.AddHostItems();
            std::vector<MenuEntry> items = session.Items();
            Say(L"host: menu for " + std::to_wstring(paths.size()) + L" item(s):");
            Describe(items);
            UINT id = 0;
            exitCode = 0;
            if (show) {
                ShowWindow(window, SW_SHOWNORMAL);
                POINT at = {160, 160};
                ClientToScreen(window, &at);
                Say(L"host: menu shown, waiting for a pick");
                g_shownMenu = session.Menu();
                id = session.Show(at);
                if (id == 0) {
                    Say(L"host: nothing picked");
                    exitCode = 4;
                }
            } else {
                exitCode = 2;
                for (const MenuEntry& item : items) {
                    if (item.separator || item.text != wanted) continue;
                    exitCode = item.greyed ? 3 : 0;
                    if (!item.greyed) id = item.id;
                }
                if (exitCode) Say(L"host: \"" + wanted + (exitCode == 3 ? L"\" is greyed" : L"\" is not in the menu"));
            }
            if (id) {
                for (const MenuEntry& item : items)
                    if (item.id == id) Say(L"host: invoking \"" + item.text + L"\"");
                hr = session.Invoke(id);
                PumpPendingMessages(window);
                Say(L"host: InvokeCommand returned " + Hex(hr));
                if (FAILED(hr)) exitCode = 1;
            }
        }
        DestroyWindow(window);
    }
    CoUninitialize();
    return exitCode;
}
