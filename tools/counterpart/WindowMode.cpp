#include "WindowMode.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "SelectionText.h"
#include "TolmeraContract.h"

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (m_handle) CloseHandle(m_handle);
    }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class Report {
public:
    explicit Report(const std::wstring& logPath) {
        if (!logPath.empty()) m_log = _wfopen(logPath.c_str(), L"ab");
    }
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    ~Report() {
        if (m_log) std::fclose(m_log);
    }
    void Line(const std::string& utf8) {
        std::string line = "scanner: " + utf8 + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        if (m_log) {
            std::fwrite(line.data(), 1, line.size(), m_log);
            std::fflush(m_log);
        }
    }

private:
    FILE* m_log = NULL;
};

std::string AnsiToUtf8(const std::string& ansi) {
    int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), NULL, 0);
    std::wstring text(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), &text[0], wide);
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wide, NULL, 0, NULL, NULL);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), wide, &utf8[0], size, NULL, NULL);
    return utf8;
}

bool OpensAsFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The selection text as the clipboard holds it, read within the block's bounds.
SelectionList ReadSelection(HWND window) {
    SelectionList none;
    bool open = false;
    for (int attempt = 0; attempt < 50 && !(open = OpenClipboard(window)); ++attempt) Sleep(10);
    if (!open) {
        none.error = "the clipboard could not be opened (error " + std::to_string(GetLastError()) + ")";
        return none;
    }
    HGLOBAL block = GetClipboardData(CF_TEXT);
    const char* bytes = block ? static_cast<const char*>(GlobalLock(block)) : NULL;
    if (!bytes) {
        CloseClipboard();
        none.error = "no text on the clipboard";
        return none;
    }
    SIZE_T size = GlobalSize(block);
    SIZE_T length = 0;
    while (length < size && bytes[length]) ++length;
    std::string text(bytes, length);
    GlobalUnlock(block);
    CloseClipboard();
    if (length == size) {
        none.error = "malformed selection text: no terminating zero";
        return none;
    }
    return SplitSelectionText(text);
}

// Anyone logged on may signal the event; only the system and administrators may do more.
HANDLE CreateHandoffEvent() {
    PSECURITY_DESCRIPTOR descriptor = NULL;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), NULL, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x100002;;;AU)(A;;0x1F0003;;;OW)",
                                                             SDDL_REVISION_1, &descriptor, NULL))
        attributes.lpSecurityDescriptor = descriptor;
    HANDLE event = CreateEventA(&attributes, FALSE, FALSE, TOLMERA_HANDOFF_EVENT);
    if (descriptor) LocalFree(descriptor);
    return event;
}

HWND CreateScannerWindow() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(NULL);
    cls.hCursor = LoadCursorW(NULL, MAKEINTRESOURCEW(32512));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = L"TolmeraCounterpartWindow";
    RegisterClassW(&cls);
    return CreateWindowExW(0, cls.lpszClassName, TOLMERA_WIDEN(TOLMERA_WINDOW_TITLE), WS_OVERLAPPEDWINDOW, 700, 40, 360, 200,
                           NULL, NULL, cls.hInstance, NULL);
}

}  // namespace

int RunWindowMode(int argc, wchar_t** argv) {
    std::wstring logPath;
    int handoffs = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--log") == 0 && i + 1 < argc) logPath = argv[++i];
        else if (std::wcscmp(argv[i], L"--count") == 0 && i + 1 < argc) handoffs = _wtoi(argv[++i]);
        else {
            std::fwprintf(stderr, L"window mode: [--log PATH] [--count N]\n");
            return 2;
        }
    }
    Report report(logPath);
    Handle event(CreateHandoffEvent());
    if (!event.Get()) {
        report.Line("cannot create the hand-off event (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    HWND window = CreateScannerWindow();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    report.Line("window \"" TOLMERA_WINDOW_TITLE "\" up; waiting on " TOLMERA_HANDOFF_EVENT);
    int seen = 0;
    for (;;) {
        HANDLE waitFor = event.Get();
        DWORD woke = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            ++seen;
            SelectionList list = ReadSelection(window);
            if (!list.ok) {
                report.Line("hand-off " + std::to_string(seen) + ": error: " + list.error);
            } else {
                report.Line("hand-off " + std::to_string(seen) + ": " + std::to_string(list.entries.size()) + " entries");
                for (size_t i = 0; i < list.entries.size(); ++i) {
                    const std::string& entry = list.entries[i];
                    std::string line = "  [" + std::to_string(i) + "] ";
                    if (entry.empty()) line += "(empty entry)";
                    else line += AnsiToUtf8(entry) + (OpensAsFile(entry) ? "  (opens)" : "  (does not open)");
                    report.Line(line);
                }
            }
            if (handoffs > 0 && seen >= handoffs) break;
            continue;
        }
        MSG msg;
        bool quit = false;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            DispatchMessageW(&msg);
        }
        if (quit || !IsWindow(window)) break;
    }
    if (IsWindow(window)) DestroyWindow(window);
    return 0;
}
