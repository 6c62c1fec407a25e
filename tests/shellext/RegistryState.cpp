#include "RegistryState.h"

#include "PellicorLibrary.h"

const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kFilesHandlerKey[] = "*\\shellex\\ContextMenuHandlers\\Scan with Tolmera";
const char kFoldersHandlerKey[] = "Folder\\shellex\\ContextMenuHandlers\\Scan with Tolmera";

std::string ClsidKey() { return std::string("CLSID\\") + kHandlerClsidText; }

std::string InProcServerKey() { return ClsidKey() + "\\InProcServer32"; }

RegistryValue ReadRegistryValue(HKEY root, const std::string& key, const char* name) {
    RegistryValue value;
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(opened, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(opened, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(opened);
    return value;
}

bool RegistryKeyExists(HKEY root, const std::string& key) {
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

void WriteRegistryText(HKEY root, const std::string& key, const char* name, const std::string& text) {
    HKEY opened;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(opened);
}

std::pair<DWORD, DWORD> RegistryKeyContents(HKEY root, const std::string& key) {
    HKEY opened;
    DWORD values = 0, subkeys = 0;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {0, 0};
    RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(opened);
    return {values, subkeys};
}

void ClearRegistration() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ClsidKey().c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kFilesHandlerKey);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kFoldersHandlerKey);
    HKEY approved;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
        RegDeleteValueA(approved, kHandlerClsidText);
        RegCloseKey(approved);
    }
}

std::vector<RegistryValue> RegistrationSnapshot() {
    return {
        ReadRegistryValue(HKEY_CLASSES_ROOT, ClsidKey(), nullptr),
        ReadRegistryValue(HKEY_CLASSES_ROOT, InProcServerKey(), nullptr),
        ReadRegistryValue(HKEY_CLASSES_ROOT, InProcServerKey(), "ThreadingModel"),
        ReadRegistryValue(HKEY_CLASSES_ROOT, kFilesHandlerKey, nullptr),
        ReadRegistryValue(HKEY_CLASSES_ROOT, kFoldersHandlerKey, nullptr),
        ReadRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText),
    };
}
