// Global memory blocks, as the clipboard and the shell's data objects pass them.
#pragma once

#include <windows.h>

// A block that is freed unless handed over with Release().
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

// A block locked for as long as this lives; Data() is NULL when it cannot be locked.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block)
        : m_block(block), m_data(GlobalLock(block)), m_size(m_data ? GlobalSize(block) : 0) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() {
        if (m_data) GlobalUnlock(m_block);
    }
    void* Data() const { return m_data; }
    // Bytes that may be read at Data().
    SIZE_T Size() const { return m_size; }

private:
    HGLOBAL m_block;
    void* m_data;
    SIZE_T m_size;
};
