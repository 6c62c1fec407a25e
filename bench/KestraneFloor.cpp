// The floor for the launcher: the same system calls in the same order, and nothing else.
#include <windows.h>
#include <commctrl.h>

#include "TolmeraContract.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CreateMutexW(NULL, TRUE, L"Kestrane-3F1A7C20-58B4-4e6d-9C1E-0D2B6A47E915");
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    SC_HANDLE service = OpenServiceW(manager, tolmera::kServiceNameW, SERVICE_USER_DEFINED_CONTROL);
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SVC_CONTROL_LAUNCH, &status);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return 0;
}
