// The shell's own data object for a set of file-system paths, as Explorer hands it to handlers.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <string>
#include <vector>

// Returns the data object (caller releases) or NULL, with the failure in `result`.
IDataObject* CreateShellSelection(HWND owner, const std::vector<std::wstring>& paths, HRESULT* result);
