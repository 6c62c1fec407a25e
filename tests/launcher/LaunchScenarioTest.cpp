// Kestrane as a user starts it, against TolmeraSvc in each state: the boxes shown (read from
// the live box), the codes the service received and the exit code.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LauncherRun.h"
#include "TestService.h"

namespace {

enum class Service { NotInstalled, Running };

struct ExpectedBox {
    std::wstring caption;
    std::wstring text;
};

struct Scenario {
    const char* name;
    Service service;
    std::wstring copyName;   // run a renamed copy of Kestrane.exe; empty: Kestrane.exe itself
    std::wstring arguments;
    std::vector<ExpectedBox> boxes;
    std::vector<DWORD> codes;  // what the service recorded (when installed)
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

const std::vector<DWORD> kLaunchOnce = {133};

const Scenario kScenarios[] = {
    {"ServiceRunning", Service::Running, L"", L"", {}, kLaunchOnce},
    {"ServiceRunningWithArguments", Service::Running, L"", L"/stop --no-launch TolmeraSvc 134", {}, kLaunchOnce},
    {"ServiceNotInstalled", Service::NotInstalled, L"", L"", {{L"Kestrane", L"Open SCM failed with error 1060"}}, {}},
    {"ServiceNotInstalledWithArguments", Service::NotInstalled, L"", L"-Embedding \"C:\\some folder\\a file.txt\"",
     {{L"Kestrane", L"Open SCM failed with error 1060"}}, {}},
    {"RenamedWhenServiceNotInstalled", Service::NotInstalled, L"Tolmera Launcher.exe", L"",
     {{L"Tolmera Launcher", L"Open SCM failed with error 1060"}}, {}},
    {"RenamedWithDotsWhenServiceNotInstalled", Service::NotInstalled, L"kestrane.old.exe", L"",
     {{L"kestrane.old", L"Open SCM failed with error 1060"}}, {}},
    {"RenamedWhenServiceRunning", Service::Running, L"Launcher2.exe", L"", {}, kLaunchOnce},
};

class LaunchScenario : public testing::TestWithParam<Scenario> {};

TEST_P(LaunchScenario, ShowsTheBoxesAndSendsTheCodes) {
    const Scenario& scenario = GetParam();
    std::unique_ptr<TestService> service;
    if (scenario.service == Service::NotInstalled) {
        RemoveTolmeraService();
    } else {
        service.reset(new TestService(TestService::Launch::Accepted));
        service->Start();
    }
    std::unique_ptr<TempCopy> copy;
    if (!scenario.copyName.empty()) copy.reset(new TempCopy(KestranePath(), ProgramFolder() + scenario.copyName));

    LauncherRun run(copy ? copy->Path() : KestranePath(), scenario.arguments);
    LaunchOutcome outcome = run.Finish(scenario.boxes.size());

    EXPECT_EQ(0u, outcome.exitCode);
    ASSERT_EQ(scenario.boxes.size(), outcome.boxes.size()) << Describe(outcome.boxes);
    for (size_t i = 0; i < outcome.boxes.size(); ++i) {
        const SeenMessageBox& box = outcome.boxes[i];
        EXPECT_EQ(scenario.boxes[i].caption, box.caption);
        EXPECT_EQ(scenario.boxes[i].text, box.text);
        EXPECT_TRUE(box.exclamationIcon);
        EXPECT_EQ(nullptr, box.owner);
        EXPECT_EQ(run.Id(), box.processId);
    }
    if (service) {
        EXPECT_EQ(scenario.codes, service->ReceivedCodes());
    }
}

// Named by PrintTo: CTest lists each row under its scenario's name.
INSTANTIATE_TEST_SUITE_P(Kestrane, LaunchScenario, testing::ValuesIn(kScenarios));

// The service is installed but stopped when the launcher starts; the test starts it later,
// whenever the launcher's next attempt comes: one that meets the service still starting waits
// on, without a message.
TEST(LaunchWaitsForService, StoppedServiceIsWaitedForUntilItStarts) {
    TestService service;
    LauncherRun run(KestranePath());
    Sleep(3000);
    EXPECT_TRUE(run.StillRunning());
    EXPECT_TRUE(run.BoxesSoFar().empty()) << Describe(run.BoxesSoFar());
    EXPECT_TRUE(service.ReceivedCodes().empty());

    service.Start();
    LaunchOutcome outcome = run.Finish(0);
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_TRUE(outcome.boxes.empty()) << Describe(outcome.boxes);
    EXPECT_EQ(kLaunchOnce, service.ReceivedCodes());
}

// A service that never finishes starting refuses every control (1061): the launcher keeps
// waiting for it, silently, as for a stopped one.
TEST(LaunchWaitsForService, ServiceStillStartingIsWaitedFor) {
    TestService service(TestService::Launch::Refused);
    service.Start();
    LauncherRun run(KestranePath());
    Sleep(3500);
    EXPECT_TRUE(run.StillRunning());
    EXPECT_TRUE(run.BoxesSoFar().empty()) << Describe(run.BoxesSoFar());
    EXPECT_TRUE(service.ReceivedCodes().empty());
}

}  // namespace
