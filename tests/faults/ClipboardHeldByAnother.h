// Another desktop program (clipboard_holder) keeping the clipboard open with a window of its own
// for as long as this object lives.
#pragma once

#include <windows.h>

#include <string>

#include "Processes.h"

class ClipboardHeldByAnother {
public:
    ClipboardHeldByAnother();
    ClipboardHeldByAnother(const ClipboardHeldByAnother&) = delete;
    ClipboardHeldByAnother& operator=(const ClipboardHeldByAnother&) = delete;
    // Lets go and waits until the holder has closed the clipboard.
    ~ClipboardHeldByAnother();

private:
    std::string m_tag;
    HANDLE m_held, m_letGo, m_released;
    ChildProcess m_process;
};
