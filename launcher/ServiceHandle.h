// Owns one service-manager or service handle and closes it when it goes.
#pragma once

#include <windows.h>

class CServiceHandle {
public:
    explicit CServiceHandle(SC_HANDLE handle) : m_hService(handle) {}
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;
    ~CServiceHandle() {
        if (m_hService) CloseServiceHandle(m_hService);
    }

    explicit operator bool() const { return m_hService != NULL; }
    SC_HANDLE Get() const { return m_hService; }

private:
    SC_HANDLE m_hService;
};
