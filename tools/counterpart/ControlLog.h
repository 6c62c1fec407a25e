// The record of the control codes the service received: one decimal code a line.
#pragma once

#include <windows.h>

#include <string>

// Appends `code` to the log at `path`; readers may hold the file open meanwhile.
bool AppendControlCode(const std::wstring& path, DWORD code);
