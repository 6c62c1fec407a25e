// The launcher's application object: asks the scanning service to bring up the scanner.
#pragma once

#include "Framework.h"

class CKestraneApp : public CWinApp {
public:
    CKestraneApp() = default;
    ~CKestraneApp() override = default;

    // Does the whole launch; FALSE on every path, so no message loop ever runs.
    BOOL InitInstance() override;
};

extern CKestraneApp theApp;
