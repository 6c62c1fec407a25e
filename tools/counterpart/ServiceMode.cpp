#include "ServiceMode.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>

#include "ControlLog.h"
#include "TolmeraContract.h"

namespace {

struct ServiceOptions {
    std::wstring logPath;
    bool refuseLaunch = false;
};

// The dispatcher calls the handler and ServiceMain on different threads.
struct ServiceState {
    ServiceOptions options;
    SERVICE_STATUS_HANDLE statusHandle = NULL;
    HANDLE stopEvent = NULL;
    std::mutex lock;
    SERVICE_STATUS status{};
};

ServiceState g_service;

void ReportStatus(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0) {
    std::lock_guard<std::mutex> hold(g_service.lock);
    SERVICE_STATUS& status = g_service.status;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    SetServiceStatus(g_service.statusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD /*eventType*/, LPVOID /*eventData*/, LPVOID /*context*/) {
    AppendControlCode(g_service.options.logPath, control);
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ReportStatus(SERVICE_STOP_PENDING, 1, 10000);
        SetEvent(g_service.stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
    case SVC_CONTROL_LAUNCH:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
    g_service.statusHandle = RegisterServiceCtrlHandlerExW(tolmera::kServiceNameW, OnControl, NULL);
    if (!g_service.statusHandle) return;
    // The first status after registering tells a test that the service is up and listening.
    if (g_service.options.refuseLaunch) {
        ReportStatus(SERVICE_START_PENDING, 1, 60000);
    } else {
        ReportStatus(SERVICE_RUNNING);
    }
    WaitForSingleObject(g_service.stopEvent, INFINITE);
    ReportStatus(SERVICE_STOPPED);
}

bool ParseOptions(int argc, wchar_t** argv, ServiceOptions& options) {
    for (int i = 0; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--log") == 0 && i + 1 < argc) {
            options.logPath = argv[++i];
        } else if (std::wcscmp(argv[i], L"--refuse-launch") == 0) {
            options.refuseLaunch = true;
        } else {
            return false;
        }
    }
    return !options.logPath.empty();
}

}  // namespace

int RunServiceMode(int argc, wchar_t** argv) {
    if (!ParseOptions(argc, argv, g_service.options)) {
        std::fwprintf(stderr, L"service mode: --log PATH [--refuse-launch]\n");
        return 2;
    }
    g_service.stopEvent = CreateEventW(NULL, TRUE, FALSE, kServiceStopEventName);
    if (!g_service.stopEvent) return 1;
    // A handle left over from an earlier run may still hold the event set.
    ResetEvent(g_service.stopEvent);

    wchar_t name[sizeof(tolmera::kServiceNameW) / sizeof(wchar_t)];
    std::wcscpy(name, tolmera::kServiceNameW);
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {NULL, NULL}};
    if (!StartServiceCtrlDispatcherW(table)) {
        std::fwprintf(stderr, L"service mode runs under the service control manager (error %lu)\n", GetLastError());
        CloseHandle(g_service.stopEvent);
        return 1;
    }
    CloseHandle(g_service.stopEvent);
    return 0;
}
