#include "GuardedGlobalLock.h"

#include <cstring>
#include <stdexcept>

#include "PellicorLibrary.h"

namespace {

using GlobalLockFn = LPVOID(WINAPI*)(HGLOBAL);
using GlobalUnlockFn = BOOL(WINAPI*)(HGLOBAL);

// One copy at a time: the handler locks its medium once per Initialize, on the test's thread.
struct GuardedCopy {
    HGLOBAL block = nullptr;
    BYTE* region = nullptr;
    SIZE_T readable = 0;  // bytes before the guard page
};

GuardedCopy g_copy;
GlobalLockFn g_originalLock = nullptr;
GlobalUnlockFn g_originalUnlock = nullptr;
long g_locks = 0;
long g_unlocks = 0;

SIZE_T PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void FreeCopy() {
    if (g_copy.region) VirtualFree(g_copy.region, 0, MEM_RELEASE);
    g_copy = GuardedCopy{};
}

LPVOID WINAPI GuardedLock(HGLOBAL block) {
    const BYTE* data = static_cast<const BYTE*>(g_originalLock(block));
    if (!data || g_copy.region) return const_cast<BYTE*>(data);  // nested locks stay plain
    SIZE_T size = GlobalSize(block);
    SIZE_T page = PageSize();
    SIZE_T readable = (size + page - 1) / page * page;
    if (readable == 0) readable = page;
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!region) throw std::runtime_error("VirtualAlloc failed");
    DWORD old;
    if (!VirtualProtect(region + readable, page, PAGE_NOACCESS, &old)) throw std::runtime_error("VirtualProtect failed");
    std::memset(region, 0xCD, readable - size);
    BYTE* copy = region + readable - size;
    std::memcpy(copy, data, size);
    g_copy = GuardedCopy{block, region, readable};
    ++g_locks;
    return copy;
}

BOOL WINAPI GuardedUnlock(HGLOBAL block) {
    if (g_copy.region && block == g_copy.block) {
        FreeCopy();
        ++g_unlocks;
    }
    return g_originalUnlock(block);
}

}  // namespace

GuardedGlobalLock::GuardedGlobalLock() {
    g_locks = g_unlocks = 0;
    m_lock.reset(new ImportPatch(PellicorModule(), "kernel32.dll", "GlobalLock", reinterpret_cast<void*>(&GuardedLock)));
    m_unlock.reset(
        new ImportPatch(PellicorModule(), "kernel32.dll", "GlobalUnlock", reinterpret_cast<void*>(&GuardedUnlock)));
    g_originalLock = m_lock->Original<GlobalLockFn>();
    g_originalUnlock = m_unlock->Original<GlobalUnlockFn>();
}

GuardedGlobalLock::~GuardedGlobalLock() {
    m_unlock.reset();
    m_lock.reset();
    FreeCopy();
}

long GuardedGlobalLock::Locks() const { return g_locks; }

long GuardedGlobalLock::Unlocks() const { return g_unlocks; }

bool GuardedGlobalLock::IsGuardPage(const void* address) {
    const BYTE* at = static_cast<const BYTE*>(address);
    return g_copy.region && at >= g_copy.region + g_copy.readable && at < g_copy.region + g_copy.readable + PageSize();
}
