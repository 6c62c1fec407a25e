#include "ClipboardHeldByAnother.h"

#include <stdexcept>

namespace {

std::string NewTag() {
    static int count = 0;
    return "PellicorFaultHolder." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++count);
}

HANDLE NewEvent(const std::string& name) { return CreateEventA(nullptr, TRUE, FALSE, name.c_str()); }

std::wstring HolderCommand(const std::string& tag) {
    return L"\"" + ProgramFolder() + L"clipboard_holder.exe\" hold " + std::wstring(tag.begin(), tag.end());
}

}  // namespace

// The events exist before the holder starts: it opens them by name.
ClipboardHeldByAnother::ClipboardHeldByAnother()
    : m_tag(NewTag()),
      m_held(NewEvent(m_tag + ".held")),
      m_letGo(NewEvent(m_tag + ".letgo")),
      m_released(NewEvent(m_tag + ".released")),
      m_process(HolderCommand(m_tag)) {
    if (WaitForSingleObject(m_held, 30000) != WAIT_OBJECT_0) throw std::runtime_error("the holder did not take the clipboard");
}

ClipboardHeldByAnother::~ClipboardHeldByAnother() {
    SetEvent(m_letGo);
    WaitForSingleObject(m_released, 30000);
    m_process.Wait(30000);
    CloseHandle(m_held);
    CloseHandle(m_letGo);
    CloseHandle(m_released);
}
