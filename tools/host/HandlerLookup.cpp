#include "HandlerLookup.h"

#include <algorithm>

namespace {

class RegKey {
public:
    RegKey(HKEY root, const std::wstring& path) {
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &m_key) != ERROR_SUCCESS) m_key = NULL;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = NULL;
};

std::vector<RegisteredHandler> HandlersFor(const wchar_t* kind) {
    std::vector<RegisteredHandler> found;
    std::wstring base = std::wstring(kind) + L"\\shellex\\ContextMenuHandlers";
    RegKey handlers(HKEY_CLASSES_ROOT, base);
    if (!handlers.Get()) return found;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(handlers.Get(), index, name, &nameLength, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        RegKey handler(handlers.Get(), name);
        wchar_t value[64] = {0};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        if (!handler.Get() ||
            RegQueryValueExW(handler.Get(), NULL, NULL, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        // Explorer also accepts a handler whose key name is the CLSID itself.
        CLSID clsid;
        if (FAILED(CLSIDFromString(value, &clsid)) && FAILED(CLSIDFromString(name, &clsid))) continue;
        found.push_back({name, clsid});
    }
    return found;
}

}  // namespace

std::vector<RegisteredHandler> FindContextMenuHandlers(const std::vector<std::wstring>& paths) {
    bool anyFile = false, anyFolder = false;
    for (const std::wstring& path : paths) {
        DWORD attributes = GetFileAttributesW(path.c_str());
        bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        (folder ? anyFolder : anyFile) = true;
    }
    std::vector<RegisteredHandler> files = HandlersFor(L"*");
    std::vector<RegisteredHandler> folders = HandlersFor(L"Folder");
    if (!anyFolder) return files;
    if (!anyFile) return folders;
    std::vector<RegisteredHandler> both;
    for (const RegisteredHandler& handler : files)
        if (std::any_of(folders.begin(), folders.end(), [&](const RegisteredHandler& other) { return IsEqualCLSID(other.clsid, handler.clsid); }))
            both.push_back(handler);
    return both;
}
