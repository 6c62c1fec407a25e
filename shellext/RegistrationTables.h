// Registration as data: each table is a run of rows that one loop walks, up to the row whose
// root is NULL.
#pragma once

#include <windows.h>

#include "HandlerClsid.h"

struct RegistryEntry {
    HKEY hRootKey;          // NULL ends the table
    LPCSTR pszKeyFormat;    // key below the root; "%s" receives the CLSID text
    LPCSTR pszValueName;    // NULL: the key's default value (deleting: the key itself); "%s": the CLSID text
    LPCSTR pszValueFormat;  // the value's data; "%s" receives the table's argument. NULL when deleting
};

#define SCAN_HANDLER_KEY_FILES "*\\shellex\\ContextMenuHandlers\\" SCAN_HANDLER_NAME
#define SCAN_HANDLER_KEY_FOLDERS "Folder\\shellex\\ContextMenuHandlers\\" SCAN_HANDLER_NAME
#define SHELL_EXTENSIONS_APPROVED_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"

// Value data receives the library path.
const RegistryEntry g_serverEntries[] = {
    {HKEY_CLASSES_ROOT, "CLSID\\%s", NULL, SCAN_HANDLER_NAME},
    {HKEY_CLASSES_ROOT, "CLSID\\%s\\InProcServer32", NULL, "%s"},
    {HKEY_CLASSES_ROOT, "CLSID\\%s\\InProcServer32", "ThreadingModel", "Apartment"},
    {NULL, NULL, NULL, NULL},
};

// Value data receives the CLSID text.
const RegistryEntry g_handlerEntries[] = {
    {HKEY_CLASSES_ROOT, SCAN_HANDLER_KEY_FILES, NULL, "%s"},
    {HKEY_CLASSES_ROOT, SCAN_HANDLER_KEY_FOLDERS, NULL, "%s"},
    {NULL, NULL, NULL, NULL},
};

// Windows NT lists the extensions the shell may load; value data receives the CLSID text.
const RegistryEntry g_approvalEntries[] = {
    {HKEY_LOCAL_MACHINE, SHELL_EXTENSIONS_APPROVED_KEY, "%s", SCAN_HANDLER_NAME},
    {NULL, NULL, NULL, NULL},
};

// Unregistration removes everything registration writes; a key goes before its parent.
const RegistryEntry g_serverDeletions[] = {
    {HKEY_CLASSES_ROOT, "CLSID\\%s\\InProcServer32", NULL, NULL},
    {HKEY_CLASSES_ROOT, "CLSID\\%s", NULL, NULL},
    {NULL, NULL, NULL, NULL},
};

const RegistryEntry g_handlerDeletions[] = {
    {HKEY_CLASSES_ROOT, SCAN_HANDLER_KEY_FILES, NULL, NULL},
    {HKEY_CLASSES_ROOT, SCAN_HANDLER_KEY_FOLDERS, NULL, NULL},
    {NULL, NULL, NULL, NULL},
};

const RegistryEntry g_approvalDeletions[] = {
    {HKEY_LOCAL_MACHINE, SHELL_EXTENSIONS_APPROVED_KEY, "%s", NULL},
    {NULL, NULL, NULL, NULL},
};
