#include "CopyTextToClipboard.h"

#include <cstring>

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

// A global block that is freed unless handed over with Release().
class GlobalBlock {
public:
    GlobalBlock(UINT flags, SIZE_T size) : m_block(GlobalAlloc(flags, size)) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (m_block) GlobalFree(m_block);
    }
    HGLOBAL Get() const { return m_block; }
    HGLOBAL Release() {
        HGLOBAL block = m_block;
        m_block = NULL;
        return block;
    }

private:
    HGLOBAL m_block;
};

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) : m_block(block), m_data(GlobalLock(block)) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() {
        if (m_data) GlobalUnlock(m_block);
    }
    void* Data() const { return m_data; }

private:
    HGLOBAL m_block;
    void* m_data;
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
