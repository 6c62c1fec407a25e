// Random and mutated DROPFILES blocks handed to one handler's Initialize, each read by it from a
// copy that ends at a no-access page; every result is checked against the classic reading.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "DropFiles.h"

// True when the list lies inside the block: a full header, a list offset within the block, and
// every name (of the block's width) ended by a zero before the final empty name, all inside it.
bool IsWellFormedDropBlock(const Bytes& block);

// The next block of a campaign: well-formed lists (narrow and wide, gaps, odd offsets, junk after
// the end) and blocks mutated from them (cut, flipped, offsets moved, terminators lost, random).
class DropBlockSource {
public:
    explicit DropBlockSource(uint32_t seed);
    Bytes Next();

private:
    uint32_t Random();
    uint32_t Below(uint32_t bound) { return bound ? Random() % bound : 0; }
    std::string NarrowName();
    std::wstring WideName();
    Bytes WellFormed();
    void Mutate(Bytes& block);

    uint64_t m_state;
};

struct FuzzOutcome {
    long blocks = 0;
    long wellFormed = 0;
    long malformed = 0;
    long mismatches = 0;
    std::string firstMismatch;  // the block's index and what went wrong
};

// Runs `blocks` blocks from `seed` through one handler with the scanner stand-in present (COM
// must be initialised on this thread). An access fault past a block ends the process with the
// block's index printed.
FuzzOutcome FuzzDropLists(uint32_t seed, long blocks);
