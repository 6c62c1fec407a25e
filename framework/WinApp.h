// The framework's application object: one per module, named after the module's file.
#pragma once

#include <windows.h>
#include <tchar.h>

#include "String.h"

class CWinApp {
public:
    // Without a name the application takes its module's file name, without folder and extension.
    explicit CWinApp(LPCTSTR pszAppName = NULL);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop, for an application whose InitInstance returned TRUE.
    virtual int Run();

    LPCTSTR m_pszAppName = NULL;
    HINSTANCE m_hInstance = NULL;
    LPTSTR m_lpCmdLine = NULL;

private:
    friend BOOL AfxWinInit(HINSTANCE hInstance, LPTSTR lpCmdLine);
    CString m_strAppName;
    bool m_bNameGiven = false;
};

// The module's one application object, or NULL when it has none.
CWinApp* AfxGetApp();
LPCTSTR AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();

// Entry code's first step: records the module and command line and derives the application name.
BOOL AfxWinInit(HINSTANCE hInstance, LPTSTR lpCmdLine);

// Application name from a module path: the file name without folder and extension.
CString AfxAppNameFromPath(LPCTSTR path);
