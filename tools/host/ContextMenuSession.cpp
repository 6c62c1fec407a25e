#include "ContextMenuSession.h"

namespace {
const UINT kLastHandlerId = 0x6FFF;
const UINT kHostOpenId = 0x7001;
const UINT kHostPropertiesId = 0x7002;
}  // namespace

ContextMenuSession::ContextMenuSession(HWND owner) : m_owner(owner), m_menu(CreatePopupMenu()) {}

ContextMenuSession::~ContextMenuSession() {
    for (Slot& slot : m_slots) slot.menu->Release();
    DestroyMenu(m_menu);
}

HRESULT ContextMenuSession::AddHandler(const RegisteredHandler& handler, IDataObject* selection) {
    IShellExtInit* init = NULL;
    HRESULT hr = CoCreateInstance(handler.clsid, NULL, CLSCTX_INPROC_SERVER, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    if (FAILED(hr)) return hr;
    hr = init->Initialize(NULL, selection, NULL);
    IContextMenu* menu = NULL;
    if (SUCCEEDED(hr)) hr = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    init->Release();
    if (FAILED(hr)) return hr;
    hr = menu->QueryContextMenu(m_menu, GetMenuItemCount(m_menu), m_nextId, kLastHandlerId, CMF_NORMAL);
    if (FAILED(hr)) {
        menu->Release();
        return hr;
    }
    UINT used = HRESULT_CODE(hr);
    m_slots.push_back({menu, m_nextId, used});
    m_nextId += used;
    return hr;
}

void ContextMenuSession::AddHostItems() {
    InsertMenuW(m_menu, 0, MF_BYPOSITION | MF_STRING, kHostOpenId, L"&Open");
    AppendMenuW(m_menu, MF_STRING, kHostPropertiesId, L"P&roperties");
}

std::vector<MenuEntry> ContextMenuSession::Items() const {
    std::vector<MenuEntry> items;
    int count = GetMenuItemCount(m_menu);
    for (int position = 0; position < count; ++position) {
        wchar_t text[256] = {0};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS | MIIM_BITMAP;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(m_menu, position, TRUE, &info);
        items.push_back({static_cast<UINT>(position), info.wID, text, (info.fType & MFT_SEPARATOR) != 0,
                         (info.fState & MFS_GRAYED) != 0, info.hbmpUnchecked != NULL || info.hbmpItem != NULL});
    }
    return items;
}

UINT ContextMenuSession::Show(POINT at) {
    SetForegroundWindow(m_owner);
    UINT picked = TrackPopupMenu(m_menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, m_owner, NULL);
    PostMessageW(m_owner, WM_NULL, 0, 0);
    return picked;
}

HRESULT ContextMenuSession::Invoke(UINT id) {
    for (const Slot& slot : m_slots) {
        if (id < slot.first || id >= slot.first + slot.count) continue;
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof(info);
        info.hwnd = m_owner;
        info.lpVerb = MAKEINTRESOURCEA(id - slot.first);
        info.nShow = SW_SHOWNORMAL;
        return slot.menu->InvokeCommand(&info);
    }
    return S_FALSE;
}
