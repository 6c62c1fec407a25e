#include "DropFiles.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

template <typename Ch>
Bytes ListOf(const std::vector<std::basic_string<Ch>>& names) {
    Bytes list;
    for (const auto& name : names) {
        const BYTE* first = reinterpret_cast<const BYTE*>(name.c_str());
        list.insert(list.end(), first, first + (name.size() + 1) * sizeof(Ch));
    }
    list.insert(list.end(), sizeof(Ch), 0);
    return list;
}

}  // namespace

Bytes DropBlockWithList(DWORD listOffset, bool wide, const Bytes& list) {
    DROPFILES header{};
    header.pFiles = listOffset;
    header.fWide = wide;
    Bytes block(sizeof(header));
    std::memcpy(block.data(), &header, sizeof(header));
    if (listOffset > block.size()) block.resize(listOffset, 0xAB);
    block.insert(block.end(), list.begin(), list.end());
    return block;
}

Bytes NarrowDropBlock(const std::vector<std::string>& names) {
    return DropBlockWithList(sizeof(DROPFILES), false, ListOf(names));
}

Bytes WideDropBlock(const std::vector<std::wstring>& names) {
    return DropBlockWithList(sizeof(DROPFILES), true, ListOf(names));
}

Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes AsBytes(const std::wstring& text) {
    const BYTE* first = reinterpret_cast<const BYTE*>(text.data());
    return Bytes(first, first + text.size() * sizeof(wchar_t));
}

HGLOBAL GlobalBlockOf(const Bytes& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!bytes.empty()) {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

std::vector<std::string> DragQueryFileLoop(HGLOBAL block) {
    HDROP drop = static_cast<HDROP>(block);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    // Wine counts a lone terminator as one empty name; Windows counts none.
    auto header = static_cast<const DROPFILES*>(GlobalLock(block));
    const BYTE* list = reinterpret_cast<const BYTE*>(header) + header->pFiles;
    bool emptyList = header->fWide ? (list[0] == 0 && list[1] == 0) : list[0] == 0;
    GlobalUnlock(block);
    if (emptyList) count = 0;

    std::vector<std::string> entries(count);
    for (UINT i = 0; i < count; ++i) {
        char buffer[MAX_PATH];
        std::memset(buffer, 0, sizeof(buffer));
        if (DragQueryFileA(drop, i, buffer, MAX_PATH) != 0) entries[i] = std::string(buffer, strnlen(buffer, MAX_PATH));
    }
    return entries;
}

std::string SelectionText(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) text += entry + "|";
    text.push_back('\0');
    return text;
}
