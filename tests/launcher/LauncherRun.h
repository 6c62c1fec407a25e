// One run of a launcher program: its message boxes are read and dismissed as they come up.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "Processes.h"

// The launcher as built, in the test program's own folder.
std::wstring KestranePath();

// Caption and text of each box, for failure messages.
std::string Describe(const std::vector<SeenMessageBox>& boxes);

struct LaunchOutcome {
    DWORD exitCode = STILL_ACTIVE;
    std::vector<SeenMessageBox> boxes;
};

// Holds every thread of a process still while it lives. A service that is being started
// refuses controls with 1061 until it runs, and the launcher waits on through that refusal
// too: tests that check the exact calls hold the launcher while they start the service, so
// that its next attempt meets the service running.
class ProcessPause {
public:
    explicit ProcessPause(DWORD processId);
    ProcessPause(const ProcessPause&) = delete;
    ProcessPause& operator=(const ProcessPause&) = delete;
    ~ProcessPause();

private:
    std::vector<HANDLE> m_threads;
};

class LauncherRun {
public:
    // Starts `program` with `arguments` (none when empty).
    explicit LauncherRun(const std::wstring& program, const std::wstring& arguments = L"");

    DWORD Id() const { return m_process.Id(); }
    bool StillRunning() { return m_process.Wait(0) == STILL_ACTIVE; }
    std::vector<SeenMessageBox> BoxesSoFar() const { return m_watcher.Seen(); }
    // Waits for the end; `expectedBoxes` lets the last box's record settle before it is read.
    LaunchOutcome Finish(size_t expectedBoxes, DWORD timeoutMs = 60000);

private:
    MessageBoxWatcher m_watcher;
    ChildProcess m_process;
};
