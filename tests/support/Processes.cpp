#include "Processes.h"

#include <stdexcept>
#include <vector>

std::wstring ProgramFolder() {
    std::vector<wchar_t> path(32768);
    DWORD length = GetModuleFileNameW(NULL, path.data(), static_cast<DWORD>(path.size()));
    std::wstring full(path.data(), length);
    return full.substr(0, full.find_last_of(L"\\/") + 1);
}

ChildProcess::ChildProcess(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessW(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &m_info))
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
    CloseHandle(m_info.hThread);
}

ChildProcess::~ChildProcess() {
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) Kill();
    CloseHandle(m_info.hProcess);
}

DWORD ChildProcess::Wait(DWORD timeoutMs) {
    if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void ChildProcess::Kill() {
    TerminateProcess(m_info.hProcess, 1);
    WaitForSingleObject(m_info.hProcess, 5000);
}

TempCopy::TempCopy(const std::wstring& from, const std::wstring& to) : m_path(to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) throw std::runtime_error("CopyFileW failed: " + std::to_string(GetLastError()));
}

TempCopy::~TempCopy() {
    DeleteFileW(m_path.c_str());
}
