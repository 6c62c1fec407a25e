#include "ScanMenu.h"

#include "ComFirewall.h"
#include "HandlerClsid.h"
#include "ScanShellExt.h"
#include "TolmeraContract.h"

namespace {

// Separators show no text; the text only fills InsertMenuA's argument.
const char kSeparatorText[] = "Igniorato";

void InsertSeparator(HMENU hmenu, UINT position, UINT id) {
    InsertMenuA(hmenu, position, MF_SEPARATOR | MF_BYPOSITION, id, kSeparatorText);
}

}  // namespace

HRESULT InsertScanMenuItems(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT uFlags, HBITMAP hbmpItem) {
    if (uFlags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);

    InsertSeparator(hmenu, indexMenu, idCmdFirst + SCAN_MENU_SEPARATOR_ABOVE);

    // Asked afresh on every build: the scanner may have started or ended since the last menu.
    bool scannerRunning = FindWindowA(NULL, TOLMERA_WINDOW_TITLE) != NULL;
    UINT scanFlags = MF_BYPOSITION | MF_STRING | (scannerRunning ? 0 : MF_GRAYED);
    InsertMenuA(hmenu, indexMenu + 1, scanFlags, idCmdFirst + SCAN_MENU_SCAN, SCAN_HANDLER_NAME);
    if (hbmpItem) SetMenuItemBitmaps(hmenu, indexMenu + 1, MF_BYPOSITION | MF_BITMAP, hbmpItem, hbmpItem);

    InsertSeparator(hmenu, indexMenu + 2, idCmdFirst + SCAN_MENU_SEPARATOR_BELOW);

    // Three ids, even when Explorer's range holds fewer: the last id is not consulted.
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, SCAN_MENU_IDS_USED);
}

STDMETHODIMP CScanShellExt::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT /*idCmdLast*/,
                                             UINT uFlags) {
    return ComFirewall([&] { return InsertScanMenuItems(hmenu, indexMenu, idCmdFirst, uFlags, m_bmpMenu.GetSafeHandle()); });
}
