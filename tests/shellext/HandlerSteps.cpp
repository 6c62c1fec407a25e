#include "HandlerSteps.h"

#include <stdexcept>

HRESULT InvokeOffset(IContextMenu* menu, UINT offset, HWND hwnd) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = hwnd;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

HRESULT InvokeVerb(IContextMenu* menu, const char* verb, HWND hwnd) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = hwnd;
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

std::string ScannedText(IContextMenu* menu, ScannerStandIn& scanner) {
    scanner.TakeEvent();
    HRESULT hr = InvokeOffset(menu, 1);
    if (hr != S_OK) throw std::runtime_error("InvokeCommand failed");
    if (!scanner.TakeEvent()) return "<no event>";
    return ClipboardText();
}

TestWindow::TestWindow(HWND parent)
    : m_hwnd(CreateWindowExA(0, parent ? "BUTTON" : "STATIC", "explorer stand-in",
                             parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, parent,
                             nullptr, nullptr, nullptr)) {
    if (!m_hwnd) throw std::runtime_error("cannot create a window");
}

TestWindow::~TestWindow() {
    if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
}
