// TolmeraCounterpart: plays the scanner side that the desktop pieces talk to.
//   TolmeraCounterpart service --log PATH [--refuse-launch]   the scanning service (run by the SCM)
//   TolmeraCounterpart window [--log PATH] [--count N]        the scanner window and its hand-off event
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "ServiceMode.h"
#include "WindowMode.h"

namespace {

struct Mode {
    const wchar_t* name;
    int (*run)(int argc, wchar_t** argv);
};

const Mode kModes[] = {
    {L"service", RunServiceMode},
    {L"window", RunWindowMode},
};

int Usage() {
    std::fwprintf(stderr, L"usage: TolmeraCounterpart service --log PATH [--refuse-launch]\n"
                          L"       TolmeraCounterpart window [--log PATH] [--count N]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    for (const Mode& mode : kModes)
        if (std::wcscmp(argv[1], mode.name) == 0) return mode.run(argc - 2, argv + 2);
    return Usage();
}
