// The framework's message box: caption is the application name, a plain OK box gets the
// exclamation icon.
#pragma once

#include <windows.h>

int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The same box, owned by `hOwner` (NULL: no owner).
int AfxMessageBoxOwned(HWND hOwner, LPCTSTR lpszText, UINT nType = MB_OK);
