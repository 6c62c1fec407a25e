#include "DropListFuzz.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "CountingDataObject.h"
#include "GuardedGlobalLock.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"

namespace {

const size_t kHeader = sizeof(DROPFILES);

DWORD ReadDword(const Bytes& block, size_t at) {
    DWORD value;
    std::memcpy(&value, block.data() + at, sizeof(value));
    return value;
}

void WriteDword(Bytes& block, size_t at, DWORD value) {
    if (block.size() >= at + sizeof(value)) std::memcpy(block.data() + at, &value, sizeof(value));
}

// Where the campaign stands, for the report of an access fault.
volatile long g_blockIndex = -1;
uint32_t g_seed = 0;

LONG CALLBACK ReportGuardPageFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        const void* address = reinterpret_cast<const void*>(record->ExceptionInformation[1]);
        std::fprintf(stderr, "access fault at %p%s: seed %lu, block %ld\n", address,
                     GuardedGlobalLock::IsGuardPage(address) ? " (the page after the block)" : "",
                     static_cast<unsigned long>(g_seed), g_blockIndex);
        std::fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Gives back what the loop is sent: WM_ENABLE goes to this thread's queue when there is no window.
void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

std::string Describe(long index, const Bytes& block) {
    std::string text = "block " + std::to_string(index) + " (" + std::to_string(block.size()) + " bytes:";
    char hex[4];
    for (size_t i = 0; i < block.size() && i < 64; ++i) {
        std::snprintf(hex, sizeof(hex), " %02x", block[i]);
        text += hex;
    }
    return text + (block.size() > 64 ? " ...)" : ")");
}

}  // namespace

bool IsWellFormedDropBlock(const Bytes& block) {
    if (block.size() < kHeader) return false;
    DWORD offset = ReadDword(block, 0);
    size_t width = ReadDword(block, 16) ? 2 : 1;
    if (offset < kHeader || offset > block.size()) return false;
    size_t at = offset;
    size_t nameLength = 0;
    while (at + width <= block.size()) {
        bool zero = block[at] == 0 && (width == 1 || block[at + 1] == 0);
        at += width;
        if (!zero) {
            ++nameLength;
        } else if (nameLength == 0) {
            return true;
        } else {
            nameLength = 0;
        }
    }
    return false;
}

DropBlockSource::DropBlockSource(uint32_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}

uint32_t DropBlockSource::Random() {
    // splitmix64: the same blocks from the same seed on every platform.
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 16);
}

// Names under a folder that does not exist: no short form can stand in for them, so the entry is
// what the classic loop reads.
std::string DropBlockSource::NarrowName() {
    static const char kChars[] = "abcXYZ019 ._-\\\xe9\xfc\xdf\xa9\x80\xff";
    std::string name = "C:\\nonexistent\\";
    uint32_t length = Below(8) == 0 ? 200 + Below(150) : Below(24);
    for (uint32_t i = 0; i < length; ++i) name.push_back(kChars[Below(sizeof(kChars) - 1)]);
    return name;
}

std::wstring DropBlockSource::WideName() {
    static const wchar_t kChars[] = L"abcXYZ019 ._-\\\x00e9\x00fc\x20ac\x0100\x0141\x03a9\x0444\x4e2d\xd83d\xde00";
    std::wstring name = L"C:\\nonexistent\\";
    uint32_t length = Below(8) == 0 ? 200 + Below(150) : Below(24);
    for (uint32_t i = 0; i < length; ++i) name.push_back(kChars[Below(sizeof(kChars) / sizeof(wchar_t) - 1)]);
    return name;
}

Bytes DropBlockSource::WellFormed() {
    bool wide = Below(2) == 0;
    uint32_t count = Below(10) == 0 ? Below(40) : Below(5);
    Bytes list;
    for (uint32_t i = 0; i < count; ++i) {
        Bytes name = wide ? AsBytes(WideName()) : AsBytes(NarrowName());
        list.insert(list.end(), name.begin(), name.end());
        list.insert(list.end(), wide ? 2 : 1, 0);
    }
    list.insert(list.end(), wide ? 2 : 1, 0);
    if (Below(4) == 0)  // junk after the list's end is not read
        for (uint32_t i = Below(16); i > 0; --i) list.push_back(static_cast<BYTE>(Random()));
    DWORD offset = static_cast<DWORD>(kHeader + (Below(3) == 0 ? Below(12) : 0));
    return DropBlockWithList(offset, wide, list);
}

void DropBlockSource::Mutate(Bytes& block) {
    switch (Below(9)) {
        case 0:  // cut anywhere, header included
            block.resize(Below(static_cast<uint32_t>(block.size()) + 1));
            break;
        case 1:  // cut by one byte: the final terminator (or half of it) is lost
            if (!block.empty()) block.pop_back();
            break;
        case 2:  // flip bytes
            for (uint32_t i = 1 + Below(4); i > 0 && !block.empty(); --i)
                block[Below(static_cast<uint32_t>(block.size()))] ^= static_cast<BYTE>(1 + Below(255));
            break;
        case 3:  // a zero where a name was, or a name character where a zero was
            if (block.size() > kHeader) block[kHeader + Below(static_cast<uint32_t>(block.size() - kHeader))] ^= 0x41;
            break;
        case 4: {  // the list offset anywhere near the block, or far from it
            DWORD size = static_cast<DWORD>(block.size());
            DWORD offsets[] = {Below(size + 8), size, size + 1, size - 1, 0, 19, 0x7FFFFFFFu, 0xFFFFFFFFu, Random()};
            WriteDword(block, 0, offsets[Below(sizeof(offsets) / sizeof(offsets[0]))]);
            break;
        }
        case 5:  // the other width
            WriteDword(block, 16, ReadDword(block, 16) ? 0 : 1 + Below(3));
            break;
        case 6:  // an odd size: one stray byte more
            block.push_back(static_cast<BYTE>(Below(2) ? 0 : Random()));
            break;
        case 7:  // the end of the list filled with name characters
            for (size_t i = block.size(), n = 1 + Below(4); i > kHeader && n > 0; --i, --n) block[i - 1] = 'x';
            break;
        default: {  // random bytes behind a plausible header
            Bytes random(Below(64));
            for (BYTE& b : random) b = static_cast<BYTE>(Below(3) == 0 ? 0 : Random());
            block = DropBlockWithList(static_cast<DWORD>(kHeader + Below(4)), Below(2) == 0, random);
            break;
        }
    }
}

Bytes DropBlockSource::Next() {
    Bytes block = WellFormed();
    if (Below(3) != 0)
        for (uint32_t i = 1 + Below(3); i > 0; --i) Mutate(block);
    return block;
}

FuzzOutcome FuzzDropLists(uint32_t seed, long blocks) {
    g_seed = seed;
    PVOID handlerHandle = AddVectoredExceptionHandler(1, &ReportGuardPageFault);
    ScannerStandIn scanner;
    Handler handler = CreateHandler();
    DropBlockSource source(seed);
    FuzzOutcome outcome;
    auto mismatch = [&](long index, const Bytes& block, const std::string& what) {
        if (outcome.mismatches++ == 0) outcome.firstMismatch = Describe(index, block) + ": " + what;
    };
    for (long index = 0; index < blocks; ++index) {
        g_blockIndex = index;
        Bytes block = source.Next();
        bool wellFormed = IsWellFormedDropBlock(block);
        ++(wellFormed ? outcome.wellFormed : outcome.malformed);
        std::string expected(1, '\0');
        if (wellFormed) {
            HGLOBAL copy = GlobalBlockOf(block);
            expected = SelectionText(DragQueryFileLoop(copy));
            GlobalFree(copy);
        }

        CountingDataObject data(block);
        HRESULT hr;
        long locks, unlocks;
        {
            GuardedGlobalLock guard;
            hr = handler.init->Initialize(nullptr, &data, nullptr);
            locks = guard.Locks();
            unlocks = guard.Unlocks();
        }
        std::string text = ScannedText(handler.menu.Get(), scanner);
        DrainMessages();
        handler.init->Initialize(nullptr, nullptr, nullptr);  // gives the data object back

        if (hr != (wellFormed ? S_OK : E_FAIL)) mismatch(index, block, "Initialize gave " + std::to_string(hr));
        if (text != expected) mismatch(index, block, "handed off \"" + text + "\", expected \"" + expected + "\"");
        if (data.GetDataCalls() != 1 || data.MediaReleased() != 1) mismatch(index, block, "medium not released once");
        if (data.AddRefCalls() != data.ReleaseCalls()) mismatch(index, block, "data object references kept");
        if (locks != 1 || unlocks != 1) mismatch(index, block, "block not locked and unlocked once");
    }
    g_blockIndex = -1;
    RemoveVectoredExceptionHandler(handlerHandle);
    outcome.blocks = blocks;
    return outcome;
}
