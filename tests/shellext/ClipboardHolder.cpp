// Another program on the desktop that uses the clipboard, for the hand-off tests.
//   clipboard_holder hold TAG   opens the clipboard with a window of its own (content unchanged),
//                               sets event TAG.held, keeps it open until event TAG.letgo is set,
//                               closes it and sets TAG.released. Exit code 0; 2 if it never opened.
//   clipboard_holder probe      exit code 0 when it can open the clipboard within a second, else 3.
#include <windows.h>

#include <string>

namespace {

HANDLE OpenNamedEvent(const std::string& name) { return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str()); }

bool OpenClipboardWithin(HWND owner, DWORD ms) {
    DWORD start = GetTickCount();
    while (!OpenClipboard(owner)) {
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
    return true;
}

int Hold(const std::string& tag, HWND window) {
    HANDLE held = OpenNamedEvent(tag + ".held");
    HANDLE letGo = OpenNamedEvent(tag + ".letgo");
    HANDLE released = OpenNamedEvent(tag + ".released");
    if (!held || !letGo || !released) return 4;
    if (!OpenClipboardWithin(window, 10000)) return 2;
    SetEvent(held);
    // Keep the window responsive while holding: a real program would.
    while (MsgWaitForMultipleObjects(1, &letGo, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    CloseClipboard();
    SetEvent(released);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    HWND window = CreateWindowExA(0, "STATIC", "clipboard holder", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!window) return 5;
    std::string mode = argc > 1 ? argv[1] : "";
    int code = 1;
    if (mode == "hold" && argc > 2) {
        code = Hold(argv[2], window);
    } else if (mode == "probe") {
        code = 3;
        if (OpenClipboardWithin(window, 1000)) {
            CloseClipboard();
            code = 0;
        }
    }
    DestroyWindow(window);
    return code;
}
