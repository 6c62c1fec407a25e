// Registration and unregistration: the six values, both platforms, refusals at the first key and
// in the middle, and unregistration as the mirror of registration.
#include <gtest/gtest.h>

#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "ImportPatch.h"
#include "PellicorLibrary.h"
#include "RegistryState.h"

namespace {

std::string Text(const RegistryValue& value) {
    return std::string(value.data.begin(), value.data.end());
}

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

std::string PellicorPathA() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(PellicorModule(), path, MAX_PATH);
    return path;
}

// Records the keys Pellicor opens or deletes, and can refuse some.
struct RegistryCalls {
    std::vector<std::pair<HKEY, std::string>> created, deleted;
    int refuseCreateFrom = 1 << 30;  // index of the first RegCreateKeyExA to refuse
    LONG(WINAPI* create)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) = nullptr;
    LONG(WINAPI* remove)(HKEY, LPCSTR) = nullptr;
    DWORD versionInfoSize = 0;
} g_calls;

LONG WINAPI RecordingRegCreateKeyExA(HKEY root, LPCSTR key, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    int index = static_cast<int>(g_calls.created.size());
    g_calls.created.emplace_back(root, key);
    if (index >= g_calls.refuseCreateFrom) return ERROR_ACCESS_DENIED;
    return g_calls.create(root, key, reserved, cls, options, access, security, result, disposition);
}

LONG WINAPI RecordingRegDeleteKeyA(HKEY root, LPCSTR key) {
    g_calls.deleted.emplace_back(root, key);
    return g_calls.remove(root, key);
}

BOOL WINAPI Windows98(LPOSVERSIONINFOA info) {
    g_calls.versionInfoSize = info->dwOSVersionInfoSize;
    DWORD size = info->dwOSVersionInfoSize;
    ZeroMemory(info, sizeof(OSVERSIONINFOA));
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

HRESULT WINAPI NoStringFromIID(REFIID, LPOLESTR* text) {
    *text = nullptr;
    return E_OUTOFMEMORY;
}

class Registration : public testing::Test {
protected:
    std::unique_ptr<ImportPatch> createPatch, deletePatch;

    void SetUp() override {
        ClearRegistration();
        g_calls = RegistryCalls();
    }
    void TearDown() override {
        createPatch.reset();
        deletePatch.reset();
        ClearRegistration();
    }
    void RecordRegistryCalls() {
        createPatch.reset(new ImportPatch(PellicorModule(), "advapi32.dll", "RegCreateKeyExA",
                                          reinterpret_cast<void*>(&RecordingRegCreateKeyExA)));
        g_calls.create = createPatch->Original<decltype(g_calls.create)>();
        deletePatch.reset(new ImportPatch(PellicorModule(), "advapi32.dll", "RegDeleteKeyA",
                                          reinterpret_cast<void*>(&RecordingRegDeleteKeyA)));
        g_calls.remove = deletePatch->Original<decltype(g_calls.remove)>();
    }
    static bool NothingOfOurs() {
        for (const RegistryValue& value : RegistrationSnapshot())
            if (value.exists) return false;
        return !RegistryKeyExists(HKEY_CLASSES_ROOT, ClsidKey()) && !RegistryKeyExists(HKEY_CLASSES_ROOT, kFilesHandlerKey) &&
               !RegistryKeyExists(HKEY_CLASSES_ROOT, kFoldersHandlerKey);
    }
};

TEST_F(Registration, WritesTheSixValues) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    struct Row {
        const char* place;
        RegistryValue value;
        std::string data;
    } rows[] = {
        {"class name", ReadRegistryValue(HKEY_CLASSES_ROOT, ClsidKey(), nullptr), Sz("Scan with Tolmera")},
        {"server path", ReadRegistryValue(HKEY_CLASSES_ROOT, InProcServerKey(), nullptr), Sz(PellicorPathA())},
        {"threading model", ReadRegistryValue(HKEY_CLASSES_ROOT, InProcServerKey(), "ThreadingModel"), Sz("Apartment")},
        {"files handler", ReadRegistryValue(HKEY_CLASSES_ROOT, kFilesHandlerKey, nullptr), Sz(kHandlerClsidText)},
        {"folders handler", ReadRegistryValue(HKEY_CLASSES_ROOT, kFoldersHandlerKey, nullptr), Sz(kHandlerClsidText)},
        {"approval", ReadRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText), Sz("Scan with Tolmera")},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(row.value.exists) << row.place;
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), row.value.type) << row.place;
        EXPECT_EQ(row.data, Text(row.value)) << row.place;  // stored size counts the zero byte
    }
    EXPECT_EQ(10u, rows[2].value.data.size());
    // Nothing more than those: one value each, and InProcServer32 the only subkey.
    EXPECT_EQ(std::make_pair(DWORD{1}, DWORD{1}), RegistryKeyContents(HKEY_CLASSES_ROOT, ClsidKey()));
    EXPECT_EQ(std::make_pair(DWORD{2}, DWORD{0}), RegistryKeyContents(HKEY_CLASSES_ROOT, InProcServerKey()));
}

TEST_F(Registration, TwiceIsOnce) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    std::vector<RegistryValue> once = RegistrationSnapshot();
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    EXPECT_TRUE(once == RegistrationSnapshot());
    EXPECT_EQ(std::make_pair(DWORD{2}, DWORD{0}), RegistryKeyContents(HKEY_CLASSES_ROOT, InProcServerKey()));
}

TEST_F(Registration, NotWindowsNTLeavesTheMachineKeyAlone) {
    RecordRegistryCalls();
    ImportPatch version(PellicorModule(), "kernel32.dll", "GetVersionExA", reinterpret_cast<void*>(&Windows98));
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    EXPECT_EQ(static_cast<DWORD>(sizeof(OSVERSIONINFOA)), g_calls.versionInfoSize);
    std::vector<RegistryValue> values = RegistrationSnapshot();
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(values[i].exists) << i;
    EXPECT_FALSE(values[5].exists);
    ASSERT_EQ(5u, g_calls.created.size());
    for (const auto& call : g_calls.created) EXPECT_EQ(HKEY_CLASSES_ROOT, call.first) << call.second;

    // Unregistration on that platform leaves an approval value (someone else's) where it is.
    WriteRegistryText(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText, "Scan with Tolmera");
    EXPECT_EQ(S_OK, PellicorUnregisterServer());
    EXPECT_TRUE(ReadRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText).exists);
}

TEST_F(Registration, RefusedFirstKeyWritesNothing) {
    RecordRegistryCalls();
    g_calls.refuseCreateFrom = 0;
    EXPECT_EQ(SELFREG_E_CLASS, PellicorRegisterServer());
    EXPECT_EQ(1u, g_calls.created.size());
    EXPECT_TRUE(NothingOfOurs());
}

TEST_F(Registration, RefusalInTheMiddleKeepsWhatCameBefore) {
    RecordRegistryCalls();
    g_calls.refuseCreateFrom = 3;  // the files handler key
    EXPECT_EQ(SELFREG_E_CLASS, PellicorRegisterServer());
    EXPECT_EQ(4u, g_calls.created.size());
    std::vector<RegistryValue> values = RegistrationSnapshot();
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(values[i].exists) << i;
    for (size_t i = 3; i < 6; ++i) EXPECT_FALSE(values[i].exists) << i;
}

TEST_F(Registration, RefusedApprovalKeyComesLast) {
    RecordRegistryCalls();
    g_calls.refuseCreateFrom = 5;
    EXPECT_EQ(SELFREG_E_CLASS, PellicorRegisterServer());
    ASSERT_EQ(6u, g_calls.created.size());
    EXPECT_EQ(HKEY_LOCAL_MACHINE, g_calls.created[5].first);
    std::vector<RegistryValue> values = RegistrationSnapshot();
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(values[i].exists) << i;
}

TEST_F(Registration, UnregistrationLeavesNothingOfOurs) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    RecordRegistryCalls();
    EXPECT_EQ(S_OK, PellicorUnregisterServer());
    EXPECT_TRUE(NothingOfOurs());
    // The mirror of registration: the server keys, then the handler keys for files and folders.
    std::vector<std::string> order;
    for (const auto& call : g_calls.deleted) {
        EXPECT_EQ(HKEY_CLASSES_ROOT, call.first);
        order.push_back(call.second);
    }
    EXPECT_EQ((std::vector<std::string>{InProcServerKey(), ClsidKey(), kFilesHandlerKey, kFoldersHandlerKey}), order);
    // The approved list itself stays: only our value goes.
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kApprovedKey));
}

TEST_F(Registration, UnregistrationWithoutApprovalStillSucceeds) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    HKEY approved;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, &approved));
    RegDeleteValueA(approved, kHandlerClsidText);
    RegCloseKey(approved);
    EXPECT_EQ(S_OK, PellicorUnregisterServer());
    EXPECT_TRUE(NothingOfOurs());
}

TEST_F(Registration, UnregistrationWhenNotRegisteredDeletesNothing) {
    // Remains of another install: a folders handler key and the approval value.
    WriteRegistryText(HKEY_CLASSES_ROOT, kFoldersHandlerKey, nullptr, kHandlerClsidText);
    WriteRegistryText(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText, "Scan with Tolmera");
    RecordRegistryCalls();
    EXPECT_EQ(SELFREG_E_CLASS, PellicorUnregisterServer());
    EXPECT_EQ(1u, g_calls.deleted.size());
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, kFoldersHandlerKey));
    EXPECT_TRUE(ReadRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText).exists);
}

TEST_F(Registration, RefusedDeletionInTheMiddleKeepsWhatComesAfter) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    // A key with a subkey of its own cannot be deleted.
    WriteRegistryText(HKEY_CLASSES_ROOT, ClsidKey() + "\\Extra", nullptr, "someone else's");
    EXPECT_EQ(SELFREG_E_CLASS, PellicorUnregisterServer());
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, InProcServerKey()));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));
    std::vector<RegistryValue> values = RegistrationSnapshot();
    EXPECT_TRUE(values[0].exists);
    for (size_t i = 3; i < 6; ++i) EXPECT_TRUE(values[i].exists) << i;
}

TEST_F(Registration, WithoutTheClsidTextNothingIsTouched) {
    ASSERT_EQ(S_OK, PellicorRegisterServer());
    std::vector<RegistryValue> registered = RegistrationSnapshot();
    RecordRegistryCalls();
    ImportPatch noText(PellicorModule(), "ole32.dll", "StringFromIID", reinterpret_cast<void*>(&NoStringFromIID));
    EXPECT_EQ(SELFREG_E_CLASS, PellicorUnregisterServer());
    EXPECT_TRUE(g_calls.deleted.empty());
    EXPECT_TRUE(registered == RegistrationSnapshot());

    ClearRegistration();
    EXPECT_EQ(SELFREG_E_CLASS, PellicorRegisterServer());
    EXPECT_TRUE(g_calls.created.empty());
    EXPECT_TRUE(NothingOfOurs());
}

}  // namespace
