// Reading back what registration left in the registry, and clearing it between tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegistryValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue& other) const {
        return exists == other.exists && type == other.type && data == other.data;
    }
};

extern const char kApprovedKey[];
extern const char kFilesHandlerKey[];
extern const char kFoldersHandlerKey[];
std::string ClsidKey();
std::string InProcServerKey();

RegistryValue ReadRegistryValue(HKEY root, const std::string& key, const char* name);
bool RegistryKeyExists(HKEY root, const std::string& key);
// Creates the key (and its parents) and sets one REG_SZ value (nullptr name: the default).
void WriteRegistryText(HKEY root, const std::string& key, const char* name, const std::string& text);
// Number of values and of subkeys below a key.
std::pair<DWORD, DWORD> RegistryKeyContents(HKEY root, const std::string& key);

// Removes every key and value registration writes, whatever state an earlier test left.
void ClearRegistration();

// The registry snapshot of all six places registration writes.
std::vector<RegistryValue> RegistrationSnapshot();
