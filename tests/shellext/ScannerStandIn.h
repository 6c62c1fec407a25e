// What the scanner provides to the desktop: its window titled "Tolmera" and the hand-off event
// (created as the scanner creates it), plus reading the clipboard as the scanner does.
#pragma once

#include <windows.h>

#include <string>

extern const char kHandoffEventName[];

class ScannerStandIn {
public:
    struct Options {
        bool window = true;
        bool event = true;
    };
    ScannerStandIn() : ScannerStandIn(Options{}) {}
    explicit ScannerStandIn(Options options);
    ScannerStandIn(const ScannerStandIn&) = delete;
    ScannerStandIn& operator=(const ScannerStandIn&) = delete;
    ~ScannerStandIn();

    // True when the event was set since the last call (it resets itself when taken).
    bool TakeEvent();
    HWND Window() const { return m_window; }

private:
    HWND m_window = nullptr;
    HANDLE m_event = nullptr;
};

// The CF_TEXT block on the clipboard, every byte of it (terminator included); "<none>" when the
// clipboard holds no text.
std::string ClipboardText();
// Replaces the clipboard with `text` (terminator added).
void PutClipboardText(const std::string& text);
