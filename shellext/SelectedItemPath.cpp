#include "SelectedItemPath.h"

#include <string>

#include "AnsiText.h"
#include "ShortAnsiPath.h"

namespace {

// What the classic DragQueryFileA reading of a wide name leaves in a MAX_PATH buffer: the name's
// first characters, converted with best fit, at most MAX_ENTRY_BYTES bytes.
CString CutWideName(const wchar_t* name, size_t length) {
    size_t count = length < static_cast<size_t>(MAX_ENTRY_BYTES) ? length : static_cast<size_t>(MAX_ENTRY_BYTES);
    std::string ansi = WideToAnsi(name, count);
    while (ansi.size() > static_cast<size_t>(MAX_ENTRY_BYTES) && count > 0)  // double-byte code pages
        ansi = WideToAnsi(name, --count);
    return CString(ansi.data(), static_cast<int>(ansi.size()));
}

}  // namespace

// A cut or '?'-mangled path names no file, and the scanner would skip the item without a word:
// such items go by their short form when the file system has one.

CString SelectedItemPath(const char* name, size_t length) {
    if (length <= static_cast<size_t>(MAX_ENTRY_BYTES)) return CString(name, static_cast<int>(length));
    CString shortPath;
    if (ShortAnsiPath(AnsiToWide(name, length), shortPath)) return shortPath;
    return CString(name, MAX_ENTRY_BYTES);
}

CString SelectedItemPath(const wchar_t* name, size_t length) {
    // Plain ASCII reads the same in every ANSI code page: most paths need no conversion at all,
    // and Explorer hands over the whole selection on every click.
    if (length <= static_cast<size_t>(MAX_ENTRY_BYTES)) {
        char ascii[MAX_ENTRY_BYTES];
        size_t i = 0;
        while (i < length && name[i] < 0x80) {
            ascii[i] = static_cast<char>(name[i]);
            ++i;
        }
        if (i == length) return CString(ascii, static_cast<int>(length));
    }
    std::string ansi;
    if (WideToAnsiLossless(name, length, ansi) && ansi.size() <= static_cast<size_t>(MAX_ENTRY_BYTES))
        return CString(ansi.data(), static_cast<int>(ansi.size()));
    CString shortPath;
    if (ShortAnsiPath(std::wstring(name, length), shortPath)) return shortPath;
    return CutWideName(name, length);
}
