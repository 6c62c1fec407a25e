#include "LauncherRun.h"

std::wstring KestranePath() { return ProgramFolder() + L"Kestrane.exe"; }

namespace {
std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    return line;
}
}  // namespace

// The watcher starts before the process so that no box can come up unseen.
LauncherRun::LauncherRun(const std::wstring& program, const std::wstring& arguments)
    : m_watcher(0), m_process(CommandLine(program, arguments)) {
    m_watcher.SetProcessId(m_process.Id());
}

LaunchOutcome LauncherRun::Finish(size_t expectedBoxes, DWORD timeoutMs) {
    LaunchOutcome outcome;
    outcome.exitCode = m_process.Wait(timeoutMs);
    if (expectedBoxes > 0) m_watcher.WaitForCount(expectedBoxes, 5000);
    outcome.boxes = m_watcher.Seen();
    return outcome;
}
