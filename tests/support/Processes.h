// Starting and waiting for Windows programs from a test, and where the test's own files are.
#pragma once

#include <windows.h>

#include <string>

// Folder of the running test program (its build tree's bin folder), with a trailing backslash.
std::wstring ProgramFolder();

// A started process; the handle is closed when it goes.
class ChildProcess {
public:
    // Starts `commandLine` (program path quoted by the caller where needed); throws on failure.
    explicit ChildProcess(const std::wstring& commandLine);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // Exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD Wait(DWORD timeoutMs);
    void Kill();

private:
    PROCESS_INFORMATION m_info{};
};

// A file copy that is deleted when the object goes.
class TempCopy {
public:
    TempCopy(const std::wstring& from, const std::wstring& to);
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    ~TempCopy();
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};
