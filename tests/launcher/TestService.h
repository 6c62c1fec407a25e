// TolmeraSvc, played by TolmeraCounterpart, installed in the test prefix's service manager for
// the life of the object and removed again, so that every test case starts from no service.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Owns one handle of the service control manager.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = NULL) : m_handle(handle) {}
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ~ScHandle() {
        if (m_handle) CloseServiceHandle(m_handle);
    }
    SC_HANDLE Get() const { return m_handle; }
    void Reset(SC_HANDLE handle) {
        if (m_handle) CloseServiceHandle(m_handle);
        m_handle = handle;
    }
    explicit operator bool() const { return m_handle != NULL; }

private:
    SC_HANDLE m_handle;
};

class TestService {
public:
    enum class Launch {
        Accepted,  // runs and takes code 133
        Refused,   // never finishes starting: every control fails with 1061
    };

    // Installs the service, stopped; whatever TolmeraSvc an earlier run left is removed first.
    explicit TestService(Launch launch = Launch::Accepted);
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;
    // Stops and removes the service and deletes its log.
    ~TestService();

    // Starts the service and returns once its control handler is registered.
    void Start();
    // Codes the service has recorded so far, in order.
    std::vector<DWORD> ReceivedCodes() const;
    // The state the service control manager reports.
    DWORD State() const;

private:
    std::wstring m_logPath;
    Launch m_launch;
    ScHandle m_manager;
    ScHandle m_service;
};

// Stops and deletes any installed TolmeraSvc and waits until the name is free again.
void RemoveTolmeraService();
