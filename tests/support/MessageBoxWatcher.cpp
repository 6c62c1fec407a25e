#include "MessageBoxWatcher.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[2048] = {0};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &copied);
    return buffer;
}

struct ChildScan {
    std::wstring text;
    HWND iconWindow = NULL;
};

BOOL CALLBACK OnChild(HWND child, LPARAM param) {
    auto scan = reinterpret_cast<ChildScan*>(param);
    wchar_t cls[64] = {0};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        if (icon) scan->iconWindow = child;
    } else if (GetDlgCtrlID(child) == 0xFFFF) {
        scan->text = WindowText(child);
    }
    return TRUE;
}

// The pixels on screen where `window` shows its icon.
std::vector<DWORD> ScreenPixels(HWND window, int size, HDC* memoryOut, HBITMAP* bitmapOut) {
    RECT rect{};
    GetWindowRect(window, &rect);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, size, size, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    ReleaseDC(NULL, screen);
    *memoryOut = memory;
    *bitmapOut = bitmap;
    auto first = static_cast<DWORD*>(bits);
    return std::vector<DWORD>(first, first + size * size);
}

int Channel(DWORD pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// Icon handles do not cross processes: compare what the box shows with the exclamation icon
// drawn over it. Drawing an icon over itself changes (almost) nothing; over another, most pixels.
bool ShowsExclamationIcon(HWND iconWindow) {
    int size = GetSystemMetrics(SM_CXICON);
    HDC memory = NULL;
    HBITMAP bitmap = NULL;
    std::vector<DWORD> shown = ScreenPixels(iconWindow, size, &memory, &bitmap);
    DrawIconEx(memory, 0, 0, LoadIconW(NULL, MAKEINTRESOURCEW(32515) /* IDI_EXCLAMATION */), size, size, 0, NULL, DI_NORMAL);
    GdiFlush();
    std::vector<DWORD> redrawn(shown.size());
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    GetDIBits(memory, bitmap, 0, size, redrawn.data(), &bi, DIB_RGB_COLORS);
    DeleteDC(memory);
    DeleteObject(bitmap);
    size_t changed = 0, painted = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        int worst = 0;
        for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(Channel(shown[i], shift) - Channel(redrawn[i], shift)));
        if (worst > 48) ++changed;
        if (shown[i] != shown[0]) ++painted;
    }
    return painted > shown.size() / 10 && changed < shown.size() / 20;
}

}  // namespace

SeenMessageBox ReadMessageBox(HWND box) {
    SeenMessageBox seen;
    seen.caption = WindowText(box);
    ChildScan scan;
    EnumChildWindows(box, OnChild, reinterpret_cast<LPARAM>(&scan));
    seen.text = scan.text;
    seen.anyIcon = scan.iconWindow != NULL;
    seen.exclamationIcon = scan.iconWindow != NULL && ShowsExclamationIcon(scan.iconWindow);
    seen.owner = GetWindow(box, GW_OWNER);
    GetWindowThreadProcessId(box, &seen.processId);
    return seen;
}

MessageBoxWatcher::MessageBoxWatcher(DWORD processId)
    : m_processId(processId), m_stop(CreateEventW(NULL, TRUE, FALSE, NULL)), m_thread([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    SetEvent(m_stop);
    m_thread.join();
    CloseHandle(m_stop);
}

void MessageBoxWatcher::SetProcessId(DWORD processId) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_processId = processId;
}

bool MessageBoxWatcher::WaitForCount(size_t count, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_seen.size() >= count) return true;
        }
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}

std::vector<SeenMessageBox> MessageBoxWatcher::Seen() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_seen;
}

void MessageBoxWatcher::Watch() {
    while (WaitForSingleObject(m_stop, 10) == WAIT_TIMEOUT) EnumWindows(OnWindow, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK MessageBoxWatcher::OnWindow(HWND hwnd, LPARAM self) {
    reinterpret_cast<MessageBoxWatcher*>(self)->Inspect(hwnd);
    return TRUE;
}

void MessageBoxWatcher::Inspect(HWND hwnd) {
    wchar_t cls[16] = {0};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_processId && pid != m_processId) return;
        if (m_handled.count(hwnd)) return;
    }
    SeenMessageBox seen = ReadMessageBox(hwnd);
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    std::lock_guard<std::mutex> hold(m_lock);
    m_handled.insert(hwnd);
    m_seen.push_back(seen);
}
