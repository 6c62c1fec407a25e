// Drop lists read from blocks that end at a no-access page: well-formed ones give what the
// classic DragQueryFileA loop gives, malformed ones are refused with no list, and nothing reads
// past the block.
#include <gtest/gtest.h>

#include <cstring>

#include "CountingDataObject.h"
#include "DropListFuzz.h"
#include "GuardedGlobalLock.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"

namespace {

const std::string kZero(1, '\0');

// The oracle the campaign judges by, on blocks whose shape is known.
TEST(DropListOracle, TellsWellFormedFromMalformed) {
    Bytes wideOdd = DropBlockWithList(21, true, AsBytes(std::wstring(L"C:\\a") + L'\0' + L'\0'));
    Bytes cutHeader = NarrowDropBlock({"C:\\a"});
    cutHeader.resize(19);
    struct Row {
        const char* name;
        Bytes block;
        bool wellFormed;
    } rows[] = {
        {"narrow names", NarrowDropBlock({"C:\\a", "C:\\b"}), true},
        {"wide names", WideDropBlock({L"C:\\a", L"C:\\b"}), true},
        {"empty narrow list", NarrowDropBlock({}), true},
        {"empty wide list", WideDropBlock({}), true},
        {"wide at an odd offset", wideOdd, true},
        {"cut header", cutHeader, false},
        {"offset at the end", DropBlockWithList(20, false, Bytes()), false},
        {"offset into the header", DropBlockWithList(19, false, Bytes{0, 0}), false},
        {"narrow, no final zero", DropBlockWithList(20, false, AsBytes(std::string("C:\\a") + '\0')), false},
        {"wide, no final zero", DropBlockWithList(20, true, AsBytes(std::wstring(L"C:\\a") + L'\0')), false},
        {"wide, half a terminator", DropBlockWithList(20, true, Bytes{'a', 0, 0}), false},
        {"wide, zero bytes not aligned to a character", DropBlockWithList(20, true, Bytes{'a', 0, 0, 'b', 0, 0}), false},
    };
    for (const Row& row : rows) EXPECT_EQ(row.wellFormed, IsWellFormedDropBlock(row.block)) << row.name;
}

// The guard is real: a read one byte past the copy faults, the copy holds the block's bytes.
TEST(DropListGuard, CopyEndsAtANoAccessPage) {
    ComApartment apartment;
    Handler handler = CreateHandler();
    Bytes block = NarrowDropBlock({"C:\\nonexistent\\guarded.txt"});
    CountingDataObject data(block);
    GuardedGlobalLock guard;
    ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &data, nullptr));
    EXPECT_EQ(1, guard.Locks());
    EXPECT_EQ(1, guard.Unlocks());
    handler.init->Initialize(nullptr, nullptr, nullptr);

    // The same patch seen from here: lock a block through Pellicor's own import slot.
    HGLOBAL global = GlobalBlockOf(block);
    auto lock = reinterpret_cast<LPVOID(WINAPI*)(HGLOBAL)>(*FindImportSlot(PellicorModule(), "kernel32.dll", "GlobalLock"));
    auto unlock = reinterpret_cast<BOOL(WINAPI*)(HGLOBAL)>(*FindImportSlot(PellicorModule(), "kernel32.dll", "GlobalUnlock"));
    const BYTE* copy = static_cast<const BYTE*>(lock(global));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(0, std::memcmp(copy, block.data(), block.size()));
    MEMORY_BASIC_INFORMATION after{};
    ASSERT_NE(0u, VirtualQuery(copy + block.size(), &after, sizeof(after)));
    EXPECT_EQ(static_cast<DWORD>(PAGE_NOACCESS), after.Protect);
    EXPECT_TRUE(GuardedGlobalLock::IsGuardPage(copy + block.size()));
    EXPECT_FALSE(GuardedGlobalLock::IsGuardPage(copy + block.size() - 1));
    unlock(global);
    GlobalFree(global);
}

TEST(MalformedDropLists, FuzzedBlocksWithAFixedSeed) {
    const uint32_t seed = 20240606;
    // 100,000 blocks take about 200 s under Wine here, too close to the suite's 300 s limit per test
    // on a shared machine; the longer campaigns go to drop_list_campaign.
    const long blocks = 50000;
    std::printf("drop-list fuzz: seed %lu, %ld blocks\n", static_cast<unsigned long>(seed), blocks);
    ComApartment apartment;
    FuzzOutcome outcome = FuzzDropLists(seed, blocks);
    std::printf("drop-list fuzz: %ld well-formed, %ld malformed\n", outcome.wellFormed, outcome.malformed);
    EXPECT_EQ(0, outcome.mismatches) << outcome.firstMismatch;
    // Both kinds in good number, or the campaign proves little.
    EXPECT_GT(outcome.wellFormed, blocks / 5);
    EXPECT_GT(outcome.malformed, blocks / 5);
}

}  // namespace
