// DllRegisterServer and DllUnregisterServer: the tables of RegistrationTables.h, walked row by
// row, stopping at the first key that cannot be written or deleted.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <cstdio>

#include "ComFirewall.h"
#include "HandlerClsid.h"
#include "RegistrationTables.h"

namespace {

typedef char TextBuffer[MAX_PATH];

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = NULL;
};

void FormatText(TextBuffer& out, LPCSTR format, LPCSTR argument) {
    std::snprintf(out, sizeof(out), format, argument);
}

// The handler CLSID in registry form, e.g. "{5D0E27A4-...}"; false when it cannot be had.
bool ClsidText(TextBuffer& text) {
    text[0] = 0;
    LPOLESTR wide = NULL;
    if (FAILED(StringFromIID(CLSID_ScanShellExt, &wide)) || !wide) return false;
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), NULL, NULL);
    CoTaskMemFree(wide);
    return text[0] != 0;
}

bool IsWindowsNT() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Each row opens its key, sets its one value and closes the key. A value that cannot be set
// does not stop the walk; a key that cannot be opened does.
HRESULT WriteEntries(const RegistryEntry* rows, LPCSTR clsidText, LPCSTR dataArgument) {
    for (const RegistryEntry* row = rows; row->hRootKey; ++row) {
        TextBuffer keyName, valueName, data;
        FormatText(keyName, row->pszKeyFormat, clsidText);
        RegistryKey key;
        if (RegCreateKeyExA(row->hRootKey, keyName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE, NULL, key.Receive(),
                            NULL) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        if (row->pszValueName) FormatText(valueName, row->pszValueName, clsidText);
        FormatText(data, row->pszValueFormat, dataArgument);
        RegSetValueExA(key.Get(), row->pszValueName ? valueName : NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       static_cast<DWORD>(lstrlenA(data) + 1));
    }
    return S_OK;
}

// A row without a value name deletes its key (which must have no subkeys); a row with one
// deletes that value.
HRESULT DeleteEntries(const RegistryEntry* rows, LPCSTR clsidText) {
    for (const RegistryEntry* row = rows; row->hRootKey; ++row) {
        TextBuffer keyName;
        FormatText(keyName, row->pszKeyFormat, clsidText);
        if (!row->pszValueName) {
            if (RegDeleteKeyA(row->hRootKey, keyName) != ERROR_SUCCESS) return SELFREG_E_CLASS;
            continue;
        }
        TextBuffer valueName;
        FormatText(valueName, row->pszValueName, clsidText);
        RegistryKey key;
        if (RegOpenKeyExA(row->hRootKey, keyName, 0, KEY_SET_VALUE, key.Receive()) != ERROR_SUCCESS ||
            RegDeleteValueA(key.Get(), valueName) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT RegisterServer() {
    TextBuffer clsidText, libraryPath = {0};
    if (!ClsidText(clsidText)) return SELFREG_E_CLASS;
    GetModuleFileNameA(AfxGetInstanceHandle(), libraryPath, sizeof(libraryPath));

    HRESULT hr = WriteEntries(g_serverEntries, clsidText, libraryPath);
    if (SUCCEEDED(hr)) hr = WriteEntries(g_handlerEntries, clsidText, clsidText);
    if (SUCCEEDED(hr) && IsWindowsNT()) hr = WriteEntries(g_approvalEntries, clsidText, clsidText);
    return hr;
}

HRESULT UnregisterServer() {
    TextBuffer clsidText;
    if (!ClsidText(clsidText)) return SELFREG_E_CLASS;

    HRESULT hr = DeleteEntries(g_serverDeletions, clsidText);
    if (SUCCEEDED(hr)) hr = DeleteEntries(g_handlerDeletions, clsidText);
    // The approval may already be gone (or never have been written): that is no failure.
    if (SUCCEEDED(hr) && IsWindowsNT()) DeleteEntries(g_approvalDeletions, clsidText);
    return hr;
}

}  // namespace

STDAPI DllRegisterServer() {
    return ComFirewall(RegisterServer);
}

STDAPI DllUnregisterServer() {
    return ComFirewall(UnregisterServer);
}
