#include "WinApp.h"

#include <vector>

namespace {
CWinApp* g_pApp = NULL;
}

CWinApp::CWinApp(LPCTSTR pszAppName) {
    g_pApp = this;
    if (pszAppName) {
        m_strAppName = pszAppName;
        m_pszAppName = m_strAppName;
        m_bNameGiven = true;
    }
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = NULL;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    MSG msg;
    while (GetMessage(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

CWinApp* AfxGetApp() { return g_pApp; }

LPCTSTR AfxGetAppName() { return g_pApp ? g_pApp->m_pszAppName : NULL; }

HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : NULL; }

CString AfxAppNameFromPath(LPCTSTR path) {
    LPCTSTR name = path;
    for (LPCTSTR p = path; *p; ++p)
        if (*p == _T('\\') || *p == _T('/') || *p == _T(':')) name = p + 1;
    LPCTSTR dot = NULL;
    for (LPCTSTR p = name; *p; ++p)
        if (*p == _T('.')) dot = p;
    return dot ? CString(name, static_cast<int>(dot - name)) : CString(name);
}

BOOL AfxWinInit(HINSTANCE hInstance, LPTSTR lpCmdLine) {
    CWinApp* app = g_pApp;
    if (!app) return FALSE;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine;
    if (!app->m_bNameGiven) {
        // Module paths can exceed MAX_PATH; grow until the whole path fits.
        std::vector<TCHAR> path(MAX_PATH);
        for (;;) {
            DWORD size = static_cast<DWORD>(path.size());
            DWORD length = GetModuleFileName(hInstance, path.data(), size);
            if (length == 0) break;
            if (length < size) {
                app->m_strAppName = AfxAppNameFromPath(path.data());
                break;
            }
            path.resize(path.size() * 2);
        }
        app->m_pszAppName = app->m_strAppName;
    }
    return TRUE;
}
