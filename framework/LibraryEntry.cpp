// Library entry: runs the module's application object on attach and detach.
#include "WinApp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID /*reserved*/) {
    CWinApp* app = AfxGetApp();
    if (!app) return TRUE;
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            DisableThreadLibraryCalls(hInstance);
            if (!AfxWinInit(hInstance, NULL)) return FALSE;
            if (!app->InitInstance()) {
                app->ExitInstance();
                return FALSE;  // the load is refused
            }
        } else if (reason == DLL_PROCESS_DETACH) {
            app->ExitInstance();
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
