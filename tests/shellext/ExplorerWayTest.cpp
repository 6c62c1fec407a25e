// The handler reached the way Explorer reaches it: registered with regsvr32, found through the
// files handler key, created by COM, given the shell's own data object for real files and
// folders, its menu built and its item picked, with a scanner stand-in waiting.
#include <gtest/gtest.h>

#include <string>

#include "HandlerSteps.h"
#include "PellicorLibrary.h"
#include "Processes.h"
#include "RegistryState.h"
#include "ShellSelection.h"

namespace {

DWORD RunRegsvr32(const std::wstring& options) {
    ChildProcess regsvr32(L"regsvr32 " + options + L" \"" + PellicorPath() + L"\"");
    return regsvr32.Wait(60000);
}

CLSID RegisteredHandler(const char* handlerKey) {
    RegistryValue value = ReadRegistryValue(HKEY_CLASSES_ROOT, handlerKey, nullptr);
    CLSID clsid = CLSID_NULL;
    if (!value.exists) return clsid;
    std::string text(value.data.begin(), value.data.end());
    std::wstring wide(text.begin(), text.end());
    CLSIDFromString(wide.c_str(), &clsid);
    return clsid;
}

class ExplorerWay : public testing::Test {
protected:
    ComApartment apartment;
    void SetUp() override { ClearRegistration(); }
    void TearDown() override { ClearRegistration(); }
};

TEST_F(ExplorerWay, RegisteredPickedAndHandedOff) {
    ASSERT_EQ(0u, RunRegsvr32(L"/s"));
    CLSID clsid = RegisteredHandler(kFilesHandlerKey);
    ASSERT_TRUE(IsEqualCLSID(kHandlerClsid, clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, RegisteredHandler(kFoldersHandlerKey)));

    TempFolder temp;
    std::wstring report = temp.MakeFile(L"report.doc");
    std::wstring tool = temp.MakeFile(L"tool.exe");
    std::wstring photos = temp.MakeFolder(L"Photos 2024");
    ComRef<IDataObject> selection = ShellDataObject(temp.Path(), {L"report.doc", L"Photos 2024", L"tool.exe"});

    ScannerStandIn scanner;
    TestWindow explorer;
    {
        ComRef<IShellExtInit> init;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.OutVoid()));
        ASSERT_EQ(S_OK, init->Initialize(nullptr, selection.Get(), nullptr));
        ComRef<IContextMenu> menu;
        ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, menu.OutVoid()));

        HMENU popup = CreatePopupMenu();
        HRESULT hr = menu->QueryContextMenu(popup, 0, 0x7000, 0x7FFF, CMF_NORMAL | CMF_EXPLORE);
        EXPECT_EQ(3, HRESULT_CODE(hr));
        char text[64] = {0};
        GetMenuStringA(popup, 0x7001, text, sizeof(text), MF_BYCOMMAND);
        EXPECT_STREQ("Scan with Tolmera", text);
        EXPECT_EQ(0u, GetMenuState(popup, 0x7001, MF_BYCOMMAND) & MF_GRAYED);
        DestroyMenu(popup);

        CMINVOKECOMMANDINFO invoke{};
        invoke.cbSize = sizeof(invoke);
        invoke.hwnd = explorer.Get();
        invoke.lpVerb = MAKEINTRESOURCEA(0x7001 - 0x7000);
        invoke.nShow = SW_SHOWNORMAL;
        EXPECT_EQ(S_OK, menu->InvokeCommand(&invoke));
    }
    ASSERT_TRUE(scanner.TakeEvent());
    EXPECT_EQ(Narrow(report) + "|" + Narrow(photos) + "|" + Narrow(tool) + "|" + std::string(1, '\0'), ClipboardText());

    selection.Reset();
    CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_EQ(0u, RunRegsvr32(L"/u /s"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kFilesHandlerKey));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kFoldersHandlerKey));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kHandlerClsidText).exists);
}

TEST_F(ExplorerWay, Regsvr32ReportsAnUnregisteredServer) {
    // Nothing registered: unregistration fails, and regsvr32 says so in its exit code.
    EXPECT_NE(0u, RunRegsvr32(L"/u /s"));
}

}  // namespace
