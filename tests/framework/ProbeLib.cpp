// A library on the framework's library entry. InitInstance refuses the load when the
// environment variable FRAMEWORK_PROBE_REFUSE is set; ExitInstance sets a named event.
#include "Framework.h"

namespace {

class CProbeLibApp : public CWinApp {
public:
    BOOL InitInstance() override {
        char value[8];
        return GetEnvironmentVariableA("FRAMEWORK_PROBE_REFUSE", value, sizeof(value)) == 0;
    }
    int ExitInstance() override {
        HANDLE marker = OpenEventA(EVENT_MODIFY_STATE, FALSE, "FrameworkProbe.LibraryExitInstance");
        if (marker) {
            SetEvent(marker);
            CloseHandle(marker);
        }
        return 0;
    }
};

CProbeLibApp theApp;

}  // namespace

// The application name, as the library's message boxes would show it.
extern "C" __declspec(dllexport) const char* ProbeAppName() { return AfxGetAppName(); }
