// One launcher per logon: a copy started while another waits ends at once and silently.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LauncherRun.h"
#include "TestService.h"

namespace {

const wchar_t kMutexName[] = L"Kestrane-3F1A7C20-58B4-4e6d-9C1E-0D2B6A47E915";
const std::vector<DWORD> kLaunchOnce = {133};
const std::vector<DWORD> kLaunchTwice = {133, 133};

bool MutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

// Whether the launcher has taken the mutex within the time.
bool WaitForMutex(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!MutexExists()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

void ExpectQuietEnd(LauncherRun& run, const std::string& what) {
    LaunchOutcome outcome = run.Finish(0, 30000);
    EXPECT_EQ(0u, outcome.exitCode) << what;
    EXPECT_TRUE(outcome.boxes.empty()) << what << Describe(outcome.boxes);
}

TEST(SingleInstance, SecondCopyWhileTheFirstWaitsEndsSilently) {
    TestService service;  // installed, stopped: the first copy keeps asking
    LauncherRun first(KestranePath());
    ASSERT_TRUE(WaitForMutex(30000));

    TempCopy renamed(KestranePath(), ProgramFolder() + L"Second Kestrane.exe");
    struct Second {
        const char* what;
        std::wstring program;
        std::wstring arguments;
    } seconds[] = {
        {"the same program", KestranePath(), L""},
        {"a renamed copy", renamed.Path(), L""},
        {"with arguments", KestranePath(), L"--again 133"},
    };
    for (const Second& second : seconds) {
        LauncherRun run(second.program, second.arguments);
        ExpectQuietEnd(run, second.what);
        EXPECT_TRUE(first.StillRunning()) << second.what;
    }
    EXPECT_TRUE(first.BoxesSoFar().empty()) << Describe(first.BoxesSoFar());

    // Only the first copy was still asking when the service came up.
    {
        ProcessPause pause(first.Id());
        service.Start();
    }
    ExpectQuietEnd(first, "first copy");
    EXPECT_EQ(kLaunchOnce, service.ReceivedCodes());
}

TEST(SingleInstance, NextStartAfterTheFirstEndedRunsNormally) {
    TestService service;
    {
        LauncherRun first(KestranePath());
        ASSERT_TRUE(WaitForMutex(30000));
        {
            ProcessPause pause(first.Id());
            service.Start();
        }
        ExpectQuietEnd(first, "first copy");
    }
    EXPECT_FALSE(MutexExists());

    LauncherRun next(KestranePath());
    ExpectQuietEnd(next, "next copy");
    EXPECT_EQ(kLaunchTwice, service.ReceivedCodes());
}

// The mutex's name alone marks a running copy, whoever holds it.
TEST(SingleInstance, MutexHeldElsewhereEndsTheLaunchUntilReleased) {
    TestService service;
    service.Start();
    HANDLE held = CreateMutexW(NULL, TRUE, kMutexName);
    ASSERT_NE(nullptr, held);
    {
        LauncherRun run(KestranePath());
        ExpectQuietEnd(run, "while held");
    }
    EXPECT_TRUE(service.ReceivedCodes().empty());

    CloseHandle(held);
    LauncherRun run(KestranePath());
    ExpectQuietEnd(run, "after release");
    EXPECT_EQ(kLaunchOnce, service.ReceivedCodes());
}

}  // namespace
