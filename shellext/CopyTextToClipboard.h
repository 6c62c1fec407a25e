// Puts narrow text on the clipboard as CF_TEXT, for the scanner to read.
#pragma once

#include <windows.h>

#include "Framework.h"

// Takes its own copy of the text. False when the text did not reach the clipboard; lastError then
// holds the failing call's error code. The clipboard is closed again either way.
bool CopyTextToClipboard(CString text, DWORD& lastError);
