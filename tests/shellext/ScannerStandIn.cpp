#include "ScannerStandIn.h"

#include <stdexcept>

const char kHandoffEventName[] = "Global\\TolmeraCMiniIPCHelperm_eventFromOuterProcess";

namespace {

// Wine's own clipboard work may hold the clipboard for a moment.
bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

ScannerStandIn::ScannerStandIn(Options options) {
    if (options.event) {
        m_event = CreateEventA(nullptr, FALSE, FALSE, kHandoffEventName);
        if (!m_event) throw std::runtime_error("cannot create the hand-off event");
    }
    if (options.window) {
        m_window = CreateWindowExA(0, "STATIC", "Tolmera", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                   nullptr, nullptr);
        if (!m_window) throw std::runtime_error("cannot create the scanner window");
    }
}

ScannerStandIn::~ScannerStandIn() {
    if (m_window) DestroyWindow(m_window);
    if (m_event) CloseHandle(m_event);
}

bool ScannerStandIn::TakeEvent() { return m_event && WaitForSingleObject(m_event, 0) == WAIT_OBJECT_0; }

std::string ClipboardText() {
    if (!OpenClipboardPatiently()) throw std::runtime_error("cannot open the clipboard");
    std::string text = "<none>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        const char* bytes = static_cast<const char*>(GlobalLock(data));
        if (bytes) text.assign(bytes, GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void PutClipboardText(const std::string& text) {
    if (!OpenClipboardPatiently()) throw std::runtime_error("cannot open the clipboard");
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = static_cast<char*>(GlobalLock(block));
    memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}
