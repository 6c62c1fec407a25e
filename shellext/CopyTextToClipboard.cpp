#include "CopyTextToClipboard.h"

#include <cstring>

#include "GlobalMemory.h"

namespace {

// Other programs hold the clipboard for moments at a time; about 200 ms of patience, no more.
const int kOpenAttempts = 11;
const DWORD kOpenRetryDelayMs = 20;

class OpenedClipboard {
public:
    OpenedClipboard() {
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            if (attempt > 0) Sleep(kOpenRetryDelayMs);
            if (OpenClipboard(NULL)) {
                m_open = true;
                return;
            }
            m_error = GetLastError();
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (m_open) CloseClipboard();
    }
    bool IsOpen() const { return m_open; }
    DWORD Error() const { return m_error; }

private:
    bool m_open = false;
    DWORD m_error = 0;
};

}  // namespace

bool CopyTextToClipboard(CString text, DWORD& lastError) {
    const SIZE_T size = static_cast<SIZE_T>(text.GetLength()) + 1;

    // The block is filled before the clipboard is opened: the clipboard is held only for the
    // hand-over, and a block that cannot be made leaves the user's clipboard as it was.
    GlobalBlock block(GMEM_DDESHARE, size);
    if (!block.Get()) {
        lastError = GetLastError();
        return false;
    }
    {
        GlobalLockGuard lock(block.Get());
        if (!lock.Data()) {
            lastError = GetLastError();
            return false;
        }
        std::memcpy(lock.Data(), static_cast<LPCSTR>(text), size);
    }

    OpenedClipboard clipboard;
    if (!clipboard.IsOpen()) {
        lastError = clipboard.Error();
        return false;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block.Get())) {
        lastError = GetLastError();
        return false;  // the refused block is still ours and is freed
    }
    block.Release();  // the system owns it now
    return true;
}
