// The framework's list of strings: a growable array of CString.
#pragma once

#include <new>
#include <vector>

#include "MemoryException.h"
#include "String.h"

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }

    // Resizes to `count` entries; new entries are empty strings.
    void SetSize(int count) {
        Guard([&] { m_items.resize(count < 0 ? 0 : static_cast<size_t>(count)); });
    }
    int Add(const CString& item) {
        Guard([&] { m_items.push_back(item); });
        return GetSize() - 1;
    }
    void SetAt(int index, const CString& item) { m_items[static_cast<size_t>(index)] = item; }
    const CString& GetAt(int index) const { return m_items[static_cast<size_t>(index)]; }
    CString& ElementAt(int index) { return m_items[static_cast<size_t>(index)]; }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    void RemoveAll() { std::vector<CString>().swap(m_items); }
    // Gives back the spare capacity.
    void FreeExtra() {
        Guard([&] { m_items.shrink_to_fit(); });
    }

private:
    // The standard library reports exhaustion as bad_alloc; the framework's callers expect its own exception.
    template <typename F>
    static void Guard(F&& action) {
        try {
            action();
        } catch (const std::bad_alloc&) {
            AfxThrowMemoryException();
        }
    }

    std::vector<CString> m_items;
};
