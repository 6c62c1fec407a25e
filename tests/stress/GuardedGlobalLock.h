// Makes Pellicor see each global block it locks as a copy whose last byte is followed by a
// no-access page, so that a read past the block faults at once instead of reading on unseen.
// Pellicor's import of GlobalLock hands out the copy (the size GlobalSize reports, copied in);
// its GlobalUnlock takes the copy away again. The data objects' own blocks stay as they are.
#pragma once

#include <windows.h>

#include <memory>

#include "ImportPatch.h"

class GuardedGlobalLock {
public:
    GuardedGlobalLock();
    GuardedGlobalLock(const GuardedGlobalLock&) = delete;
    GuardedGlobalLock& operator=(const GuardedGlobalLock&) = delete;
    ~GuardedGlobalLock();

    // Locks that handed out a guarded copy, and unlocks that took one back.
    long Locks() const;
    long Unlocks() const;
    // True while `address` lies in the no-access page behind the copy now handed out.
    static bool IsGuardPage(const void* address);

private:
    std::unique_ptr<ImportPatch> m_lock, m_unlock;
};
