#include "ComFirewall.h"
#include "CopyTextToClipboard.h"
#include "ScanShellExt.h"
#include "TolmeraContract.h"

namespace {

class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : m_handle(handle) {}
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    ~KernelHandle() {
        if (m_handle) CloseHandle(m_handle);
    }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Posts WM_ENABLE 1 when the hand-off ends, however it ends: the invoking window was told
// WM_ENABLE 0 when it began.
class EnableNotice {
public:
    explicit EnableNotice(HWND hwnd) : m_hwnd(hwnd) { PostMessageA(m_hwnd, WM_ENABLE, FALSE, 0); }
    EnableNotice(const EnableNotice&) = delete;
    EnableNotice& operator=(const EnableNotice&) = delete;
    ~EnableNotice() { PostMessageA(m_hwnd, WM_ENABLE, TRUE, 0); }

private:
    HWND m_hwnd;
};

// The failure box belongs in front of the Explorer window that asked, not behind it.
HWND MessageOwner(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) return NULL;
    return GetAncestor(hwnd, GA_ROOT);
}

void ShowFailure(HWND hwnd, const char* format, DWORD error) {
    CString message;
    message.Format(format, static_cast<int>(error));
    AfxMessageBoxOwned(MessageOwner(hwnd), message, MB_OK);
}

}  // namespace

STDMETHODIMP CScanShellExt::InvokeCommand(LPCMINVOKECOMMANDINFO pici) {
    if (!pici) return E_INVALIDARG;
    return ComFirewall([&]() -> HRESULT {
        // A verb given by name is not ours; any command offset runs the hand-off. An offset has
        // nothing above its low 16 bits (on 64-bit Windows a name's address may, above bit 31).
        if (!IS_INTRESOURCE(pici->lpVerb)) return S_OK;
        ScanSelection(pici->hwnd);
        return S_OK;
    });
}

void CScanShellExt::ScanSelection(HWND hwnd) {
    EnableNotice notice(hwnd);

    int length = 0;
    for (int i = 0; i < m_files.GetSize(); ++i) length += m_files[i].GetLength() + 1;
    CString text;
    text.Preallocate(length);
    for (int i = 0; i < m_files.GetSize(); ++i) {
        text += m_files[i];
        text += '|';
    }

    // Without the selection on the clipboard the event would make the scanner scan whatever the
    // clipboard held before: the user would believe the selection scanned.
    DWORD error = 0;
    if (!CopyTextToClipboard(text, error)) {
        ShowFailure(hwnd, "Apertura Appunti Fallita!\nErrore: %d", error);
        return;
    }

    KernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, TOLMERA_HANDOFF_EVENT));
    if (!event.Get()) {
        ShowFailure(hwnd, "Apertura evento Fallita!\nErrore: %d", GetLastError());
        return;
    }
    SetEvent(event.Get());
}
