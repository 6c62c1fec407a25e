#include "TestService.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "Processes.h"
#include "ReadTextFile.h"
#include "ServiceMode.h"
#include "TolmeraContract.h"

namespace {

const DWORD kServiceTimeoutMs = 30000;

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + " failed with error " + std::to_string(GetLastError()));
}

std::wstring UniqueLogPath() {
    wchar_t folder[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"TolmeraSvc-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L".log";
}

SERVICE_STATUS QueryStatus(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) throw Failure("QueryServiceStatus");
    return status;
}

// Polls until `done` holds or the time is up; returns whether it held.
template <typename Condition>
bool WaitUntil(Condition done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

// A service that never finished starting cannot take the stop control: it has its own way out.
void SetStopEvent() {
    HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, kServiceStopEventName);
    if (stop) {
        SetEvent(stop);
        CloseHandle(stop);
    }
}

void StopAndDelete(SC_HANDLE service) {
    SERVICE_STATUS status = QueryStatus(service);
    if (status.dwCurrentState != SERVICE_STOPPED) {
        SERVICE_STATUS ignored;
        if (!ControlService(service, SERVICE_CONTROL_STOP, &ignored)) SetStopEvent();
        if (!WaitUntil([&] { return QueryStatus(service).dwCurrentState == SERVICE_STOPPED; }, kServiceTimeoutMs))
            throw std::runtime_error("TolmeraSvc did not stop");
    }
    if (!DeleteService(service)) throw Failure("DeleteService");
}

}  // namespace

void RemoveTolmeraService() {
    ScHandle manager(OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS));
    if (!manager) throw Failure("OpenSCManagerW");
    {
        ScHandle service(OpenServiceW(manager.Get(), tolmera::kServiceNameW, SERVICE_ALL_ACCESS));
        if (!service) {
            if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return;
            throw Failure("OpenServiceW");
        }
        StopAndDelete(service.Get());
    }
    // The name is free once the last handle to the deleted service is gone.
    bool gone = WaitUntil([&] {
        ScHandle probe(OpenServiceW(manager.Get(), tolmera::kServiceNameW, SERVICE_QUERY_STATUS));
        return !probe && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    }, kServiceTimeoutMs);
    if (!gone) throw std::runtime_error("TolmeraSvc was not removed");
}

TestService::TestService(Launch launch) : m_logPath(UniqueLogPath()), m_launch(launch) {
    RemoveTolmeraService();
    DeleteFileW(m_logPath.c_str());
    m_manager.Reset(OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS));
    if (!m_manager) throw Failure("OpenSCManagerW");
    std::wstring image = L"\"" + ProgramFolder() + L"TolmeraCounterpart.exe\" service --log \"" + m_logPath + L"\"";
    if (launch == Launch::Refused) image += L" --refuse-launch";
    m_service.Reset(CreateServiceW(m_manager.Get(), tolmera::kServiceNameW, L"Tolmera scanning service (test)",
                                       SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, image.c_str(), NULL, NULL, NULL, NULL, NULL));
    if (!m_service) throw Failure("CreateServiceW");
}

TestService::~TestService() {
    try {
        m_service.Reset(NULL);
        m_manager.Reset(NULL);
        RemoveTolmeraService();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "removing TolmeraSvc: " << e.what();
    }
    DeleteFileW(m_logPath.c_str());
}

void TestService::Start() {
    if (!StartServiceW(m_service.Get(), 0, NULL)) throw Failure("StartServiceW");
    // Running, or (refusing) the first start-pending report that the service itself sends.
    bool listening = WaitUntil([&] {
        SERVICE_STATUS status = QueryStatus(m_service.Get());
        if (m_launch == Launch::Accepted) return status.dwCurrentState == SERVICE_RUNNING;
        return status.dwCurrentState == SERVICE_START_PENDING && status.dwCheckPoint >= 1;
    }, kServiceTimeoutMs);
    if (!listening) throw std::runtime_error("TolmeraSvc did not come up");
}

DWORD TestService::State() const { return QueryStatus(m_service.Get()).dwCurrentState; }

std::vector<DWORD> TestService::ReceivedCodes() const {
    std::vector<DWORD> codes;
    std::istringstream log(ReadTextFile(m_logPath));
    std::string line;
    while (std::getline(log, line))
        if (!line.empty()) codes.push_back(static_cast<DWORD>(std::stoul(line)));
    return codes;
}
