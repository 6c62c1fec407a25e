// The launcher's own sources in kestrane_probe, with every platform call it makes recorded and
// the faults the platform will not give on demand injected (CallRecorder.cpp): the rights it
// asks, the order of its calls, its waits, and what it does when the manager cannot be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LauncherRun.h"
#include "ReadTextFile.h"
#include "TestService.h"

namespace {

using Calls = std::vector<std::string>;

const std::string kCommonControls = "InitCommonControlsEx size=8 classes=0xff";
const std::string kMutex = "CreateMutexW security=NULL owner=1 name=Kestrane-3F1A7C20-58B4-4e6d-9C1E-0D2B6A47E915";
const std::string kMutexCreated = kMutex + " -> created";
const std::string kMutexExisted = kMutex + " -> existed";
const std::string kOpenManager = "OpenSCManagerW machine=NULL database=NULL access=0x1";
const std::string kManagerOpened = kOpenManager + " -> manager";
const std::string kOpenService = "OpenServiceW manager name=TolmeraSvc access=0x100";
const std::string kServiceOpened = kOpenService + " -> service";
const std::string kControlTaken = "ControlService service code=133 -> ok";
const std::string kRetryWait = "Sleep 1000";
const std::string kCloseService = "CloseServiceHandle service";
const std::string kCloseManager = "CloseServiceHandle manager";

std::string ManagerFailed(DWORD error) { return kOpenManager + " -> NULL error=" + std::to_string(error); }
std::string ServiceFailed(DWORD error) { return kOpenService + " -> NULL error=" + std::to_string(error); }
std::string ControlFailed(DWORD error) { return "ControlService service code=133 -> failed error=" + std::to_string(error); }
std::string Box(const std::string& text) { return "MessageBoxW owner=NULL type=0x30 caption=kestrane_probe text=" + text; }

// Sets an environment variable for the child processes started while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : m_name(name) {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() { SetEnvironmentVariableW(m_name, NULL); }

private:
    const wchar_t* m_name;
};

// The probe's record file, removed again afterwards.
class CallRecord {
public:
    CallRecord() {
        wchar_t folder[MAX_PATH + 1] = {0};
        GetTempPathW(MAX_PATH + 1, folder);
        m_path = std::wstring(folder) + L"kestrane-calls-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(m_path.c_str());
        m_environment.reset(new ScopedEnvironment(L"KESTRANE_PROBE_RECORD", m_path));
    }
    CallRecord(const CallRecord&) = delete;
    CallRecord& operator=(const CallRecord&) = delete;
    ~CallRecord() { DeleteFileW(m_path.c_str()); }

    Calls Read() const {
        Calls calls;
        std::istringstream text(ReadTextFile(m_path));
        std::string line;
        while (std::getline(text, line)) calls.push_back(line);
        return calls;
    }

private:
    std::wstring m_path;
    std::unique_ptr<ScopedEnvironment> m_environment;
};

std::wstring ProbePath() { return ProgramFolder() + L"kestrane_probe.exe"; }

enum class Service { NotInstalled, Running };

struct CallScenario {
    const char* name;
    Service service;
    DWORD managerError;      // OpenSCManagerW made to fail with this code; 0: left alone
    bool failAllocationAfterManager;  // the allocation for the message text fails
    bool mutexHeld;          // another holder of the single-instance mutex
    std::wstring arguments;
    Calls calls;
    std::vector<std::string> boxes;
    std::vector<DWORD> codes;
    std::wstring controlErrors = L"";  // ControlService made to fail with these codes in turn
};

void PrintTo(const CallScenario& scenario, std::ostream* out) { *out << scenario.name; }

const CallScenario kScenarios[] = {
    {"ServiceRunning", Service::Running, 0, false, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened, kControlTaken, kCloseService, kCloseManager},
     {}, {133}},
    {"ArgumentsChangeNothing", Service::Running, 0, false, false, L"/service TolmeraSvc --code 134",
     {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened, kControlTaken, kCloseService, kCloseManager},
     {}, {133}},
    {"ServiceNotInstalled", Service::NotInstalled, 0, false, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, ServiceFailed(1060), Box("Open SCM failed with error 1060"),
      kCloseManager},
     {"Open SCM failed with error 1060"}, {}},
    {"ServiceRefusesTheCode", Service::Running, 0, false, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened, ControlFailed(ERROR_INVALID_SERVICE_CONTROL),
      Box("Control Service failed with error 1052"), kCloseService, kCloseManager},
     {"Control Service failed with error 1052"}, {}, L"1052"},
    {"ServiceAccessDeniedToTheCode", Service::Running, 0, false, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened, ControlFailed(ERROR_ACCESS_DENIED),
      Box("Control Service failed with error 5"), kCloseService, kCloseManager},
     {"Control Service failed with error 5"}, {}, L"5"},
    // Still starting, then stopped, then running: the launcher waits through both refusals.
    {"ServiceStillStartingThenTakesTheCode", Service::Running, 0, false, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened, ControlFailed(ERROR_SERVICE_CANNOT_ACCEPT_CTRL),
      kRetryWait, ControlFailed(ERROR_SERVICE_NOT_ACTIVE), kRetryWait, kControlTaken, kCloseService, kCloseManager},
     {}, {133}, L"1061,1062"},
    {"ManagerAccessDenied", Service::Running, ERROR_ACCESS_DENIED, false, false, L"",
     {kCommonControls, kMutexCreated, ManagerFailed(5), Box("Open SCM failed with error 5")},
     {"Open SCM failed with error 5"}, {}},
    {"ManagerUnreachable", Service::Running, RPC_S_SERVER_UNAVAILABLE, false, false, L"",
     {kCommonControls, kMutexCreated, ManagerFailed(1722), Box("Open SCM failed with error 1722")},
     {"Open SCM failed with error 1722"}, {}},
    // The manager's message prints the code as a signed number.
    {"ManagerErrorBeyondSignedRange", Service::Running, 0x8007000E, false, false, L"",
     {kCommonControls, kMutexCreated, ManagerFailed(0x8007000E), Box("Open SCM failed with error -2147024882")},
     {"Open SCM failed with error -2147024882"}, {}},
    {"AnotherCopyHoldsTheMutex", Service::Running, 0, false, true, L"",
     {kCommonControls, kMutexExisted}, {}, {}},
    // No memory for the message text: nothing is shown, yet the handles close and the exit code stays 0.
    {"NoMemoryForTheManagerMessage", Service::Running, ERROR_ACCESS_DENIED, true, false, L"",
     {kCommonControls, kMutexCreated, ManagerFailed(5)}, {}, {}},
    {"NoMemoryForTheServiceMessage", Service::NotInstalled, 0, true, false, L"",
     {kCommonControls, kMutexCreated, kManagerOpened, ServiceFailed(1060), kCloseManager}, {}, {}},
};

class LaunchCalls : public testing::TestWithParam<CallScenario> {};

TEST_P(LaunchCalls, AreExactlyTheExpectedOnes) {
    const CallScenario& scenario = GetParam();
    std::unique_ptr<TestService> service;
    if (scenario.service == Service::NotInstalled) {
        RemoveTolmeraService();
    } else {
        service.reset(new TestService(TestService::Launch::Accepted));
        service->Start();
    }
    HANDLE held = scenario.mutexHeld ? CreateMutexW(NULL, TRUE, L"Kestrane-3F1A7C20-58B4-4e6d-9C1E-0D2B6A47E915") : NULL;
    CallRecord record;
    std::unique_ptr<ScopedEnvironment> managerError, noMemory, controlErrors;
    if (!scenario.controlErrors.empty())
        controlErrors.reset(new ScopedEnvironment(L"KESTRANE_PROBE_CONTROL_ERRORS", scenario.controlErrors));
    if (scenario.managerError)
        managerError.reset(new ScopedEnvironment(L"KESTRANE_PROBE_MANAGER_ERROR", std::to_wstring(scenario.managerError)));
    if (scenario.failAllocationAfterManager)
        noMemory.reset(new ScopedEnvironment(L"KESTRANE_PROBE_FAIL_ALLOCATION_AFTER_MANAGER", L"1"));

    LauncherRun run(ProbePath(), scenario.arguments);
    LaunchOutcome outcome = run.Finish(scenario.boxes.size());
    if (held) CloseHandle(held);

    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(scenario.calls, record.Read());
    ASSERT_EQ(scenario.boxes.size(), outcome.boxes.size()) << Describe(outcome.boxes);
    for (size_t i = 0; i < outcome.boxes.size(); ++i) {
        EXPECT_EQ(L"kestrane_probe", outcome.boxes[i].caption);
        EXPECT_EQ(std::wstring(scenario.boxes[i].begin(), scenario.boxes[i].end()), outcome.boxes[i].text);
    }
    if (service) {
        EXPECT_EQ(scenario.codes, service->ReceivedCodes());
    }
}

// Named by PrintTo.
INSTANTIATE_TEST_SUITE_P(Probe, LaunchCalls, testing::ValuesIn(kScenarios));

// While the service is stopped the launcher asks at once, then again after each wait of
// 1000 ms, and stops asking at the first success.
TEST(LaunchCalls, StoppedServiceIsAskedAgainAfterEachSecond) {
    TestService service;
    CallRecord record;
    const std::string notActive = ControlFailed(ERROR_SERVICE_NOT_ACTIVE);
    DWORD started = GetTickCount();
    LauncherRun run(ProbePath());
    auto refusals = [&] {
        Calls calls = record.Read();
        return std::count(calls.begin(), calls.end(), notActive);
    };
    while (refusals() < 3 && GetTickCount() - started < 60000) Sleep(50);
    {
        ProcessPause pause(run.Id());
        service.Start();
    }
    LaunchOutcome outcome = run.Finish(0);
    DWORD elapsed = GetTickCount() - started;

    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_TRUE(outcome.boxes.empty()) << Describe(outcome.boxes);
    EXPECT_EQ(std::vector<DWORD>{133}, service.ReceivedCodes());

    Calls calls = record.Read();
    Calls head = {kCommonControls, kMutexCreated, kManagerOpened, kServiceOpened};
    Calls tail = {kControlTaken, kCloseService, kCloseManager};
    ASSERT_GE(calls.size(), head.size() + tail.size());
    EXPECT_EQ(head, Calls(calls.begin(), calls.begin() + head.size()));
    EXPECT_EQ(tail, Calls(calls.end() - tail.size(), calls.end()));
    Calls middle(calls.begin() + head.size(), calls.end() - tail.size());
    ASSERT_EQ(0u, middle.size() % 2);
    size_t attempts = middle.size() / 2;
    for (size_t i = 0; i < attempts; ++i) {
        EXPECT_EQ(notActive, middle[2 * i]) << i;
        EXPECT_EQ(kRetryWait, middle[2 * i + 1]) << i;
    }
    EXPECT_GE(attempts, 3u);
    // Each refused attempt was followed by a real wait of a second, so there can be no more
    // of them than whole seconds passed (with room for a timer's granularity).
    EXPECT_LE(attempts, elapsed / 900 + 1);
}

}  // namespace
