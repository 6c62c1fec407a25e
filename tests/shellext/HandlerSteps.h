// The steps Explorer takes with a handler, for the tests to take in the same way.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "ScannerStandIn.h"

// COM on this thread for as long as it lives (single-threaded apartment, as Explorer's UI thread).
class ComApartment {
public:
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() { CoUninitialize(); }
};

HRESULT InvokeOffset(IContextMenu* menu, UINT offset, HWND hwnd = nullptr);
HRESULT InvokeVerb(IContextMenu* menu, const char* verb, HWND hwnd = nullptr);

// Picks the scan item with the scanner stand-in running; the selection text it received, or
// "<no event>" when the event was not set.
std::string ScannedText(IContextMenu* menu, ScannerStandIn& scanner);

// A plain top-level window of this thread (not titled "Tolmera"), destroyed when it goes.
class TestWindow {
public:
    explicit TestWindow(HWND parent = nullptr);
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow();
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};
