// The three items the handler adds to Explorer's context menu.
#pragma once

#include <windows.h>

// Command offsets from the first id Explorer gives.
enum ScanMenuOffset : UINT {
    SCAN_MENU_SEPARATOR_ABOVE = 0,
    SCAN_MENU_SCAN = 1,
    SCAN_MENU_SEPARATOR_BELOW = 2,
    SCAN_MENU_IDS_USED = 3,
};

// Inserts separator, "Scan with Tolmera" (greyed while no scanner window exists) and separator at
// indexMenu onwards; returns the HRESULT QueryContextMenu answers with.
HRESULT InsertScanMenuItems(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT uFlags, HBITMAP hbmpItem);
