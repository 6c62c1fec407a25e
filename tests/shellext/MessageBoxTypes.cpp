#include "MessageBoxTypes.h"

#include "PellicorLibrary.h"

namespace {

std::vector<AskedMessageBox> g_asked;
int(WINAPI* g_original)(HWND, LPCSTR, LPCSTR, UINT) = nullptr;

int WINAPI RecordingMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_asked.push_back(AskedMessageBox{owner, type});
    return g_original(owner, text, caption, type);
}

}  // namespace

MessageBoxTypes::MessageBoxTypes() {
    g_asked.clear();
    m_patch.reset(new ImportPatch(PellicorModule(), "user32.dll", "MessageBoxA", reinterpret_cast<void*>(&RecordingMessageBoxA)));
    g_original = m_patch->Original<int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT)>();
}

MessageBoxTypes::~MessageBoxTypes() = default;

std::vector<AskedMessageBox> MessageBoxTypes::Asked() const { return g_asked; }
