// A program on the framework's program entry. Its command line says what InitInstance does:
//   exit N   return FALSE; ExitInstance returns N (the exit code)
//   box TEXT show TEXT in the framework's message box, then as "exit 0"
//   run N    return TRUE and quit the message loop with N; ExitInstance is still called
#include <cwchar>
#include <cwctype>

#include "Framework.h"

namespace {

const wchar_t* SkipWord(const wchar_t* text) {
    while (*text && !std::iswspace(*text)) ++text;
    while (std::iswspace(*text)) ++text;
    return text;
}

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override {
        const wchar_t* args = m_lpCmdLine ? m_lpCmdLine : L"";
        if (std::wcsncmp(args, L"box ", 4) == 0) {
            AfxMessageBox(SkipWord(args));
            return FALSE;
        }
        if (std::wcsncmp(args, L"run ", 4) == 0) {
            PostQuitMessage(_wtoi(SkipWord(args)));
            return TRUE;
        }
        if (std::wcsncmp(args, L"exit ", 5) == 0) m_exitCode = _wtoi(SkipWord(args));
        return FALSE;
    }
    int ExitInstance() override {
        HANDLE marker = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"FrameworkProbe.ExitInstance");
        if (marker) {
            SetEvent(marker);
            CloseHandle(marker);
        }
        return m_exitCode;
    }

private:
    int m_exitCode = 0;
};

CProbeApp theApp;

}  // namespace
