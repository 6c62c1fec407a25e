// The manifest makes the launcher load version 6 of the common controls, which lives in the
// side-by-side store (Wine's DllGetVersion says 5.81 either way, so the path is what tells).
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "LauncherRun.h"
#include "TestService.h"

namespace {

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// Full path of the comctl32.dll loaded in `processId`, or empty.
std::wstring LoadedCommonControls(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring path;
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module))
        if (Lower(module.szModule) == L"comctl32.dll") path = module.szExePath;
    CloseHandle(snapshot);
    return path;
}

TEST(CommonControls, LauncherLoadsVersionSixFromTheSideBySideStore) {
    TestService service;  // stopped: the launcher waits, so its modules can be read
    LauncherRun run(KestranePath());
    std::wstring path;
    DWORD start = GetTickCount();
    while ((path = LoadedCommonControls(run.Id())).empty() && GetTickCount() - start < 30000) Sleep(50);
    ASSERT_TRUE(run.StillRunning());
    std::wstring lower = Lower(path);
    EXPECT_NE(std::wstring::npos, lower.find(L"\\winsxs\\")) << std::string(path.begin(), path.end());
    EXPECT_NE(std::wstring::npos, lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."))
        << std::string(path.begin(), path.end());
}

}  // namespace
