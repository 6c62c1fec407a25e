// A longer drop-list campaign than the suite's:
//   drop_list_campaign [BLOCKS [SEED]]   (default 1,000,000 blocks, a random seed; both printed)
// Exit code 0 when every block was read as it should be.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "DropListFuzz.h"

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    long blocks = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : std::random_device{}();
    std::printf("drop-list campaign: seed %lu, %ld blocks\n", static_cast<unsigned long>(seed), blocks);
    std::fflush(stdout);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FuzzOutcome outcome;
    try {
        outcome = FuzzDropLists(seed, blocks);
    } catch (const std::exception& e) {
        std::printf("drop-list campaign: stopped: %s (seed %lu)\n", e.what(), static_cast<unsigned long>(seed));
        return 2;
    }
    CoUninitialize();
    std::printf("drop-list campaign: %ld well-formed, %ld malformed, %ld wrong\n", outcome.wellFormed,
                outcome.malformed, outcome.mismatches);
    if (outcome.mismatches) std::printf("first: %s\nseed %lu\n", outcome.firstMismatch.c_str(), static_cast<unsigned long>(seed));
    return outcome.mismatches ? 1 : 0;
}
