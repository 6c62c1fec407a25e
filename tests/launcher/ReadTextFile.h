// Whole-file reads of the records other processes write (they may still hold them open).
#pragma once

#include <string>

// The file's bytes, or an empty string when it does not exist.
std::string ReadTextFile(const std::wstring& path);
