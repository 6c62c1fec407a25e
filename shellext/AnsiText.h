// Conversions between wide text and the ANSI code page the scanner reads.
#pragma once

#include <windows.h>

#include <string>

// Converts as the shell's narrow calls do (best fit, '?' for the rest).
std::string WideToAnsi(const wchar_t* text, size_t length);
std::wstring AnsiToWide(const char* text, size_t length);
// True when the ANSI form names the same characters: it converts back to exactly `text`.
bool WideToAnsiLossless(const wchar_t* text, size_t length, std::string& ansi);
