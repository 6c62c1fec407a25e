// Finds message boxes as they come up on the desktop (any process), reads them and presses OK.
#pragma once

#include <windows.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
    std::wstring caption;
    std::wstring text;
    bool exclamationIcon = false;  // the exclamation (warning) icon is shown
    bool anyIcon = false;
    HWND owner = NULL;
    DWORD processId = 0;
};

class MessageBoxWatcher {
public:
    // processId 0: boxes of any process.
    explicit MessageBoxWatcher(DWORD processId = 0);
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher();

    // Waits until at least `count` boxes have been seen and dismissed.
    bool WaitForCount(size_t count, DWORD timeoutMs) const;
    std::vector<SeenMessageBox> Seen() const;
    void SetProcessId(DWORD processId);

private:
    void Watch();
    static BOOL CALLBACK OnWindow(HWND hwnd, LPARAM self);
    void Inspect(HWND hwnd);

    mutable std::mutex m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::set<HWND> m_handled;
    DWORD m_processId;
    HANDLE m_stop;
    std::thread m_thread;
};

// Reads the box without dismissing it.
SeenMessageBox ReadMessageBox(HWND box);
