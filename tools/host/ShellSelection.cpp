#include "ShellSelection.h"

#include <shlobj.h>

namespace {

// Item ID lists that free themselves.
class ItemIdLists {
public:
    ItemIdLists() = default;
    ItemIdLists(const ItemIdLists&) = delete;
    ItemIdLists& operator=(const ItemIdLists&) = delete;
    ~ItemIdLists() {
        for (LPITEMIDLIST item : m_items) CoTaskMemFree(item);
    }
    void Add(LPITEMIDLIST item) { m_items.push_back(item); }
    LPCITEMIDLIST* Data() { return const_cast<LPCITEMIDLIST*>(reinterpret_cast<const LPCITEMIDLIST*>(m_items.data())); }
    UINT Count() const { return static_cast<UINT>(m_items.size()); }

private:
    std::vector<LPITEMIDLIST> m_items;
};

}  // namespace

IDataObject* CreateShellSelection(HWND owner, const std::vector<std::wstring>& paths, HRESULT* result) {
    IShellFolder* desktop = NULL;
    *result = SHGetDesktopFolder(&desktop);
    if (FAILED(*result)) return NULL;
    ItemIdLists items;
    for (const std::wstring& path : paths) {
        LPITEMIDLIST item = NULL;
        std::wstring name = path;
        *result = desktop->ParseDisplayName(owner, NULL, &name[0], NULL, &item, NULL);
        if (FAILED(*result)) {
            desktop->Release();
            return NULL;
        }
        items.Add(item);
    }
    // The desktop is the root of every absolute item ID list, so one data object holds them all.
    IDataObject* selection = NULL;
    *result = desktop->GetUIObjectOf(owner, items.Count(), items.Data(), IID_IDataObject, NULL,
                                     reinterpret_cast<void**>(&selection));
    desktop->Release();
    return SUCCEEDED(*result) ? selection : NULL;
}
