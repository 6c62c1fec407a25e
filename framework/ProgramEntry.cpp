// Program entry: InitInstance, then the message loop, or ExitInstance's result as exit code.
#include "WinApp.h"

extern "C" int WINAPI _tWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPTSTR lpCmdLine, int /*nCmdShow*/) {
    CWinApp* app = AfxGetApp();
    if (!app || !AfxWinInit(hInstance, lpCmdLine)) return -1;
    try {
        if (!app->InitInstance()) return app->ExitInstance();
        return app->Run();
    } catch (...) {
        return -1;
    }
}
