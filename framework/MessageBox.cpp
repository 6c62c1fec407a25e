#include "MessageBox.h"

#include "WinApp.h"

int AfxMessageBoxOwned(HWND hOwner, LPCTSTR lpszText, UINT nType) {
    if ((nType & MB_ICONMASK) == 0 && (nType & MB_TYPEMASK) == MB_OK) nType |= MB_ICONEXCLAMATION;
    LPCTSTR caption = AfxGetAppName();
    return MessageBox(hOwner, lpszText, caption ? caption : TEXT(""), nType);
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
    return AfxMessageBoxOwned(NULL, lpszText, nType);
}
