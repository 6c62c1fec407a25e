#include "ShortAnsiPath.h"

#include <vector>

#include "AnsiText.h"
#include "SelectedItemPath.h"

namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.compare(0, wcslen(prefix), prefix) == 0; }

// Paths of MAX_PATH characters and more reach the file system only in their \\?\ form.
std::wstring LongForm(const std::wstring& path) {
    if (path.size() < MAX_PATH || StartsWith(path, kLongPrefix)) return path;
    if (StartsWith(path, L"\\\\")) return kLongUncPrefix + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return kLongPrefix + path;
    return path;
}

// Gives the result the form of the path that was asked for.
std::wstring OriginalForm(const std::wstring& asked, const std::wstring& queried, const std::wstring& result) {
    if (asked == queried) return result;
    if (StartsWith(queried, kLongUncPrefix) && StartsWith(result, kLongUncPrefix))
        return L"\\\\" + result.substr(wcslen(kLongUncPrefix));
    if (StartsWith(result, kLongPrefix)) return result.substr(wcslen(kLongPrefix));
    return result;
}

}  // namespace

bool ShortAnsiPath(const std::wstring& path, CString& shortPath) {
    if (path.empty()) return false;
    std::wstring queried = LongForm(path);
    DWORD needed = GetShortPathNameW(queried.c_str(), NULL, 0);
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(needed);
    DWORD length = GetShortPathNameW(queried.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) return false;
    std::wstring result = OriginalForm(path, queried, std::wstring(buffer.data(), length));

    std::string ansi;
    if (!WideToAnsiLossless(result.data(), result.size(), ansi) || ansi.size() > static_cast<size_t>(MAX_ENTRY_BYTES))
        return false;
    shortPath = CString(ansi.data(), static_cast<int>(ansi.size()));
    return true;
}
