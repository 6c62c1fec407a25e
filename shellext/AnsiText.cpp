#include "AnsiText.h"

#include <climits>

std::string WideToAnsi(const wchar_t* text, size_t length) {
    if (length == 0 || length > INT_MAX) return std::string();
    int count = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, count, NULL, 0, NULL, NULL);
    if (bytes <= 0) return std::string();
    std::string ansi(static_cast<size_t>(bytes), '\0');
    bytes = WideCharToMultiByte(CP_ACP, 0, text, count, &ansi[0], bytes, NULL, NULL);
    ansi.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return ansi;
}

std::wstring AnsiToWide(const char* text, size_t length) {
    if (length == 0 || length > INT_MAX) return std::wstring();
    int count = static_cast<int>(length);
    int chars = MultiByteToWideChar(CP_ACP, 0, text, count, NULL, 0);
    if (chars <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    chars = MultiByteToWideChar(CP_ACP, 0, text, count, &wide[0], chars);
    wide.resize(chars > 0 ? static_cast<size_t>(chars) : 0);
    return wide;
}

bool WideToAnsiLossless(const wchar_t* text, size_t length, std::string& ansi) {
    ansi = WideToAnsi(text, length);
    if (ansi.empty() != (length == 0)) return false;
    // Best fit turns characters the code page lacks into look-alikes; only a round trip tells.
    return AnsiToWide(ansi.data(), ansi.size()) == std::wstring(text, length);
}
