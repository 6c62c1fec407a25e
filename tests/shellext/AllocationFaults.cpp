#include "AllocationFaults.h"

#include <cstdlib>

#include "PellicorLibrary.h"

namespace {

struct Allocator {
    int calls = 0;
    int failing = INT_MAX;
    void*(__cdecl* malloc)(size_t) = nullptr;
    void*(__cdecl* realloc)(void*, size_t) = nullptr;
    bool Fails() { return calls++ == failing; }
} g_allocator;

void* __cdecl FaultyMalloc(size_t size) { return g_allocator.Fails() ? nullptr : g_allocator.malloc(size); }
void* __cdecl FaultyRealloc(void* block, size_t size) {
    return g_allocator.Fails() ? nullptr : g_allocator.realloc(block, size);
}

}  // namespace

FailingAllocation::FailingAllocation(int failing) {
    g_allocator = Allocator();
    g_allocator.failing = failing;
    HMODULE pellicor = PellicorModule();
    m_malloc.reset(new ImportPatch(pellicor, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&FaultyMalloc)));
    m_realloc.reset(new ImportPatch(pellicor, "msvcrt.dll", "realloc", reinterpret_cast<void*>(&FaultyRealloc)));
    g_allocator.malloc = m_malloc->Original<void*(__cdecl*)(size_t)>();
    g_allocator.realloc = m_realloc->Original<void*(__cdecl*)(void*, size_t)>();
}

FailingAllocation::~FailingAllocation() = default;

int FailingAllocation::Calls() const { return g_allocator.calls; }
