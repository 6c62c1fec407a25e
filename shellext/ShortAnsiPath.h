// The short (8.3) form of a path, as the scanner can read it.
#pragma once

#include <windows.h>

#include <string>

#include "Framework.h"

// True when the file system gives `path` a short form that converts to the ANSI code page without
// loss and fits in MAX_PATH - 1 bytes; `shortPath` then holds it.
bool ShortAnsiPath(const std::wstring& path, CString& shortPath);
