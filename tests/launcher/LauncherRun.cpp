#include "LauncherRun.h"

#include <tlhelp32.h>

#include <stdexcept>

std::wstring KestranePath() { return ProgramFolder() + L"Kestrane.exe"; }

std::string Describe(const std::vector<SeenMessageBox>& boxes) {
    std::string text;
    for (const SeenMessageBox& box : boxes) {
        char line[1024];
        WideCharToMultiByte(CP_UTF8, 0, (L"\n  box [" + box.caption + L"] " + box.text).c_str(), -1, line, sizeof(line),
                            NULL, NULL);
        text += line;
    }
    return text;
}

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

ProcessPause::ProcessPause(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) throw std::runtime_error("no thread snapshot");
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
            CloseHandle(thread);
            continue;
        }
        m_threads.push_back(thread);
    }
    CloseHandle(snapshot);
    if (m_threads.empty()) throw std::runtime_error("no thread of the process could be held");
    // A request sent just before the pause is answered before anything the test does next.
    Sleep(200);
}

ProcessPause::~ProcessPause() {
    for (HANDLE thread : m_threads) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
}
