// The framework's program and library entries, run in real processes and loads.
#include <gtest/gtest.h>

#include "Framework.h"
#include "MessageBoxWatcher.h"
#include "Processes.h"

namespace {

class NamedEvent {
public:
    explicit NamedEvent(const char* name) : m_handle(CreateEventA(NULL, TRUE, FALSE, name)) {}
    ~NamedEvent() { CloseHandle(m_handle); }
    bool IsSet() const { return WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0; }
    void Reset() { ResetEvent(m_handle); }

private:
    HANDLE m_handle;
};

std::wstring Probe() { return ProgramFolder() + L"framework_probe_app.exe"; }

TEST(ProgramEntry, ExitInstanceResultIsTheExitCode) {
    NamedEvent exited("FrameworkProbe.ExitInstance");
    for (int code : {0, 7, 42}) {
        exited.Reset();
        ChildProcess probe(L"\"" + Probe() + L"\" exit " + std::to_wstring(code));
        EXPECT_EQ(static_cast<DWORD>(code), probe.Wait(30000));
        EXPECT_TRUE(exited.IsSet());
    }
}

TEST(ProgramEntry, RunsTheMessageLoopWhenInitInstanceSucceeds) {
    NamedEvent exited("FrameworkProbe.ExitInstance");
    ChildProcess probe(L"\"" + Probe() + L"\" run 9");
    EXPECT_EQ(9u, probe.Wait(30000));
    EXPECT_TRUE(exited.IsSet());
}

TEST(ProgramEntry, CaptionFollowsTheFileName) {
    TempCopy renamed(Probe(), ProgramFolder() + L"Renamed Probe.exe");
    MessageBoxWatcher watcher;
    ChildProcess probe(L"\"" + renamed.Path() + L"\" box hello from the probe");
    watcher.SetProcessId(probe.Id());
    ASSERT_TRUE(watcher.WaitForCount(1, 30000));
    EXPECT_EQ(0u, probe.Wait(30000));
    SeenMessageBox box = watcher.Seen().at(0);
    EXPECT_EQ(L"Renamed Probe", box.caption);
    EXPECT_EQ(L"hello from the probe", box.text);
    EXPECT_TRUE(box.anyIcon);
    EXPECT_TRUE(box.exclamationIcon);
}

TEST(LibraryEntry, LoadsNamedAfterTheLibraryAndExitsOnUnload) {
    NamedEvent exited("FrameworkProbe.LibraryExitInstance");
    SetEnvironmentVariableA("FRAMEWORK_PROBE_REFUSE", NULL);
    HMODULE library = LoadLibraryW((ProgramFolder() + L"framework_probe_lib.dll").c_str());
    ASSERT_NE(nullptr, library);
    auto appName = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(library, "ProbeAppName")));
    ASSERT_NE(nullptr, appName);
    EXPECT_STREQ("framework_probe_lib", appName());
    EXPECT_FALSE(exited.IsSet());
    FreeLibrary(library);
    EXPECT_TRUE(exited.IsSet());
}

TEST(LibraryEntry, RefusedInitInstanceRefusesTheLoadAfterExitInstance) {
    NamedEvent exited("FrameworkProbe.LibraryExitInstance");
    SetEnvironmentVariableA("FRAMEWORK_PROBE_REFUSE", "1");
    HMODULE library = LoadLibraryW((ProgramFolder() + L"framework_probe_lib.dll").c_str());
    SetEnvironmentVariableA("FRAMEWORK_PROBE_REFUSE", NULL);
    EXPECT_EQ(nullptr, library);
    EXPECT_TRUE(exited.IsSet());
    if (library) FreeLibrary(library);
}

}  // namespace
