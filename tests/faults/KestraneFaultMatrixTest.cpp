// Each platform call Kestrane depends on, made to fail in the probe build of the launcher's own
// sources against a real TolmeraSvc: the box shown, the codes the service took, that every handle
// opened was closed again and that the process ended normally.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "LauncherRun.h"
#include "ReadTextFile.h"
#include "TestService.h"

namespace {

struct Row {
    const char* name;
    const wchar_t* variable;  // the probe's fault
    const wchar_t* value;
    const char* box;          // text shown, nullptr: no box
    std::vector<DWORD> codes; // what the service took
    bool managerOpened;       // the launcher went on to the service manager
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const Row kRows[] = {
    {"OpenSCManagerW", L"KESTRANE_PROBE_MANAGER_ERROR", L"5", "Open SCM failed with error 5", {}, false},
    {"OpenServiceW", L"KESTRANE_PROBE_SERVICE_ERROR", L"5", "Open SCM failed with error 5", {}, true},
    // Stopped at the first attempt, running at the second: waited for, then told.
    {"ControlServiceStoppedThenTaken", L"KESTRANE_PROBE_CONTROL_ERRORS", L"1062,0", nullptr, {133}, true},
    {"ControlServiceOtherCode", L"KESTRANE_PROBE_CONTROL_ERRORS", L"1052", "Control Service failed with error 1052", {}, true},
    // Another copy runs: this one leaves at once, quietly.
    {"CreateMutexWExisting", L"KESTRANE_PROBE_MUTEX", L"exists", nullptr, {}, false},
    // No mutex at all: not a second copy, so the launch goes on.
    {"CreateMutexWFails", L"KESTRANE_PROBE_MUTEX", L"fail:5", nullptr, {133}, true},
};

class Environment {
public:
    Environment(const wchar_t* name, const std::wstring& value) : m_name(name) { SetEnvironmentVariableW(name, value.c_str()); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    ~Environment() { SetEnvironmentVariableW(m_name, NULL); }

private:
    const wchar_t* m_name;
};

std::wstring RecordPath() {
    wchar_t folder[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"kestrane-faults-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
}

size_t CountStarting(const std::vector<std::string>& lines, const std::string& start, const std::string& end = "") {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.compare(0, start.size(), start) == 0 && line.size() >= end.size() &&
               line.compare(line.size() - end.size(), end.size(), end) == 0;
    });
}

class KestraneFaultMatrix : public testing::TestWithParam<Row> {};

TEST_P(KestraneFaultMatrix, ShownSentAndClosed) {
    const Row& row = GetParam();
    TestService service;
    service.Start();
    const std::wstring record = RecordPath();
    DeleteFileW(record.c_str());
    LaunchOutcome outcome;
    {
        Environment recording(L"KESTRANE_PROBE_RECORD", record);
        Environment fault(row.variable, row.value);
        LauncherRun run(ProgramFolder() + L"kestrane_probe.exe");
        outcome = run.Finish(row.box ? 1 : 0);
    }
    std::vector<std::string> lines;
    std::istringstream text(ReadTextFile(record));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    DeleteFileW(record.c_str());

    // Ended by itself with its usual code: no crash, no exception turned into a failure code.
    EXPECT_EQ(0u, outcome.exitCode);
    if (row.box) {
        ASSERT_EQ(1u, outcome.boxes.size()) << Describe(outcome.boxes);
        EXPECT_EQ(L"kestrane_probe", outcome.boxes[0].caption);
        EXPECT_EQ(std::wstring(row.box, row.box + strlen(row.box)), outcome.boxes[0].text);
        EXPECT_TRUE(outcome.boxes[0].exclamationIcon);
    } else {
        EXPECT_TRUE(outcome.boxes.empty()) << Describe(outcome.boxes);
    }
    EXPECT_EQ(row.codes, service.ReceivedCodes());
    // Every service handle opened is closed once.
    const size_t managers = CountStarting(lines, "OpenSCManagerW", "-> manager");
    const size_t services = CountStarting(lines, "OpenServiceW", "-> service");
    EXPECT_EQ(row.managerOpened ? 1u : 0u, managers);
    EXPECT_EQ(managers, CountStarting(lines, "CloseServiceHandle manager"));
    EXPECT_EQ(services, CountStarting(lines, "CloseServiceHandle service"));
}

INSTANTIATE_TEST_SUITE_P(EachCall, KestraneFaultMatrix, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
