// One popup menu filled by context-menu handlers, the way Explorer builds it.
#pragma once

#include <shobjidl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "HandlerLookup.h"

struct MenuEntry {
    UINT position;
    UINT id;
    std::wstring text;
    bool separator;
    bool greyed;
    bool hasBitmap;
};

class ContextMenuSession {
public:
    explicit ContextMenuSession(HWND owner);
    ContextMenuSession(const ContextMenuSession&) = delete;
    ContextMenuSession& operator=(const ContextMenuSession&) = delete;
    ~ContextMenuSession();

    // Creates the handler, hands it the selection and lets it add its items at the menu's end.
    HRESULT AddHandler(const RegisteredHandler& handler, IDataObject* selection);
    // The host's own items around the handlers' ones, as Explorer has some of its own.
    void AddHostItems();
    std::vector<MenuEntry> Items() const;
    HMENU Menu() const { return m_menu; }
    // Shows the menu and returns the picked command id (0: none).
    UINT Show(POINT at);
    // Carries out the command of a handler's item; S_FALSE for an item of the host's own.
    HRESULT Invoke(UINT id);

private:
    struct Slot {
        IContextMenu* menu;
        UINT first;
        UINT count;
    };
    HWND m_owner;
    HMENU m_menu;
    UINT m_nextId = 1;
    std::vector<Slot> m_slots;
};
