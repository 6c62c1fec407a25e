// The narrow path that stands for one dropped item in the scanner's list.
#pragma once

#include <windows.h>

#include "Framework.h"

// The longest path an entry holds, in bytes of the ANSI code page.
const int MAX_ENTRY_BYTES = MAX_PATH - 1;

// From an ANSI name of `length` bytes, or a wide name of `length` characters (not terminated).
// A name that fits, and converts without loss, is taken as it is; otherwise its short (8.3) form
// when that does; otherwise the name cut to MAX_ENTRY_BYTES (and converted with best fit).
CString SelectedItemPath(const char* name, size_t length);
CString SelectedItemPath(const wchar_t* name, size_t length);
