// The counterpart's window mode, run as a real process: the window, the event's access for an
// ordinary opener, and the report of each hand-off, good or malformed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

#include "Processes.h"
#include "TolmeraContract.h"

namespace {

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

// Puts bytes on the clipboard as CF_TEXT (or empties it when `text` is null).
void PutOnClipboard(const char* text, size_t size) {
    ASSERT_TRUE(OpenClipboard(NULL));
    EmptyClipboard();
    if (text) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(block), text, size);
        GlobalUnlock(block);
        SetClipboardData(CF_TEXT, block);
    }
    CloseClipboard();
}

void SignalScanner() {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, TOLMERA_HANDOFF_EVENT);
    ASSERT_NE(nullptr, event) << GetLastError();
    SetEvent(event);
    CloseHandle(event);
}

class CounterpartWindow : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_log = std::wstring(temp) + L"counterpart_window_test.log";
        DeleteFileW(m_log.c_str());
        m_existing = std::wstring(temp) + L"counterpart_window_test.txt";
        std::ofstream(m_existing.c_str()) << "x";
    }
    void TearDown() override {
        DeleteFileW(m_log.c_str());
        DeleteFileW(m_existing.c_str());
    }
    std::string Existing() const { return std::string(m_existing.begin(), m_existing.end()); }
    size_t LoggedHandoffs() const {
        std::string log = ReadFile(m_log);
        size_t count = 0;
        for (size_t at = log.find("hand-off "); at != std::string::npos; at = log.find("hand-off ", at + 1)) ++count;
        return count;
    }

    std::wstring m_log;
    std::wstring m_existing;
};

TEST_F(CounterpartWindow, ReportsEachHandOffAndSurvivesMalformedOnes) {
    ChildProcess scanner(L"\"" + ProgramFolder() + L"TolmeraCounterpart.exe\" window --count 4 --log \"" + m_log + L"\"");
    ASSERT_TRUE(WaitUntil(20000, [] { return FindWindowA(NULL, TOLMERA_WINDOW_TITLE) != NULL; }));
    ASSERT_TRUE(WaitUntil(5000, [this] { return ReadFile(m_log).find("waiting on") != std::string::npos; }));

    std::string good = Existing() + "||C:\\no\\such\\file.txt|";
    PutOnClipboard(good.c_str(), good.size() + 1);
    SignalScanner();
    ASSERT_TRUE(WaitUntil(10000, [this] { return LoggedHandoffs() == 1; }));

    const char trailing[] = "C:\\a|C:\\b";
    PutOnClipboard(trailing, sizeof(trailing));
    SignalScanner();
    ASSERT_TRUE(WaitUntil(10000, [this] { return LoggedHandoffs() == 2; }));

    PutOnClipboard(NULL, 0);
    SignalScanner();
    ASSERT_TRUE(WaitUntil(10000, [this] { return LoggedHandoffs() == 3; }));

    const char words[] = "no separator at all";
    PutOnClipboard(words, sizeof(words));
    SignalScanner();
    EXPECT_EQ(0u, scanner.Wait(10000));

    std::string log = ReadFile(m_log);
    EXPECT_NE(std::string::npos, log.find("hand-off 1: 3 entries"));
    EXPECT_NE(std::string::npos, log.find("[0] " + Existing() + "  (opens)"));
    EXPECT_NE(std::string::npos, log.find("[1] (empty entry)"));
    EXPECT_NE(std::string::npos, log.find("[2] C:\\no\\such\\file.txt  (does not open)"));
    EXPECT_NE(std::string::npos, log.find("hand-off 2: error: malformed selection text: 4 bytes after the last separator"));
    EXPECT_NE(std::string::npos, log.find("hand-off 3: error: no text on the clipboard"));
    EXPECT_NE(std::string::npos, log.find("hand-off 4: error: malformed selection text: 19 bytes after the last separator"));
}

}  // namespace
