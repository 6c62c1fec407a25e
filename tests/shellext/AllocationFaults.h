// Makes one of Pellicor's own heap allocations fail: its import slots of malloc and realloc
// (behind operator new, the framework's strings and the standard containers) are patched, so the
// test program's allocations go on working. Only the chosen allocation fails, the way a large
// request fails while small ones still succeed: the runtime linked into the library needs a few
// bytes of heap to throw at all (its emergency exception pool sits behind a lazily made lock).
#pragma once

#include <climits>
#include <memory>

#include "ImportPatch.h"

class FailingAllocation {
public:
    // failing: index (from 0) of the allocation that fails.
    explicit FailingAllocation(int failing = 0);
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    ~FailingAllocation();
    // Allocations asked for so far (the failed one included); at most `failing` when none failed.
    int Calls() const;

private:
    std::unique_ptr<ImportPatch> m_malloc, m_realloc;
};
