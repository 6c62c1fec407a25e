#include "KestraneApp.h"

#include "CommonControls.h"
#include "LaunchRequest.h"
#include "SingleInstance.h"

CKestraneApp theApp;

BOOL CKestraneApp::InitInstance() {
    PrepareCommonControls();
    CWinApp::InitInstance();

    // The exit code is 0 on every path: nothing may leave for the framework's entry,
    // which would turn it into a failure code.
    try {
        if (!ClaimSingleInstance()) return FALSE;
        RequestScannerLaunch();
    } catch (CMemoryException* e) {
        e->Delete();
    }
    return FALSE;
}
