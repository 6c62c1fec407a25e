// The one class this server serves, and the name it goes by in menus and the registry.
#pragma once

#include <windows.h>

// {5D0E27A4-91C3-4B7F-8E62-C1A9F03B7D58}
inline constexpr CLSID CLSID_ScanShellExt = {
    0x5D0E27A4, 0x91C3, 0x4B7F, {0x8E, 0x62, 0xC1, 0xA9, 0xF0, 0x3B, 0x7D, 0x58}};

// Menu item text, class name and approval data: one literal, so the three never drift apart.
#define SCAN_HANDLER_NAME "Scan with Tolmera"
