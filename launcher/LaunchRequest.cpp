#include "LaunchRequest.h"

#include <windows.h>

#include "Framework.h"
#include "ServiceHandle.h"
#include "TolmeraContract.h"

namespace {

const DWORD kRetryWaitMs = 1000;

// Shows `format` filled with one error code; the formats differ in how they print it.
template <typename Code>
void ShowFailure(LPCWSTR format, Code code) {
    CString text;
    text.Format(format, code);
    AfxMessageBox(text);
}

}  // namespace

void RequestScannerLaunch() {
    CServiceHandle manager(OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT));
    if (!manager) {
        ShowFailure(L"Open SCM failed with error %d", static_cast<int>(GetLastError()));
        return;
    }

    CServiceHandle service(OpenServiceW(manager.Get(), tolmera::kServiceNameW, SERVICE_USER_DEFINED_CONTROL));
    if (!service) {
        ShowFailure(L"Open SCM failed with error %u", static_cast<unsigned>(GetLastError()));
        return;
    }

    // A stopped service is waited for without limit: somebody else starts it. One that is still
    // starting cannot take controls yet either: it is waited for the same way, not reported.
    SERVICE_STATUS status;
    while (!ControlService(service.Get(), SVC_CONTROL_LAUNCH, &status)) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) {
            ShowFailure(L"Control Service failed with error %u", static_cast<unsigned>(error));
            return;
        }
        Sleep(kRetryWaitMs);
    }
}
