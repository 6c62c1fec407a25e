// The context-menu handler Explorer creates for a selection of files and folders: it takes the
// selection (IShellExtInit), adds "Scan with Tolmera" to the menu and hands the selection to the
// scanner when the item is picked (IContextMenu).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "Framework.h"

class CScanShellExt final : public IContextMenu, public IShellExtInit {
public:
    CScanShellExt();
    CScanShellExt(const CScanShellExt&) = delete;
    CScanShellExt& operator=(const CScanShellExt&) = delete;

    // IUnknown (one implementation behind both interface pointers)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT uFlags) override;
    STDMETHODIMP InvokeCommand(LPCMINVOKECOMMANDINFO pici) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, LPSTR pszName, UINT cchMax) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

private:
    ~CScanShellExt();  // only the final Release destroys a handler

    void ReleaseDataObject();
    // Hands m_files to the scanner: clipboard first, then the hand-off event.
    void ScanSelection(HWND hwnd);

    volatile LONG m_cRef;
    IDataObject* m_pDataObject;
    CStringArray m_files;
    CBitmap m_bmpMenu;
};
