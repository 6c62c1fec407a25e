// DROPFILES blocks made by hand, and the classic DragQueryFileA reading of them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

using Bytes = std::vector<BYTE>;

// A well-formed block: header (list at offset 20) + names, each ended by a zero, + the final zero.
Bytes NarrowDropBlock(const std::vector<std::string>& names);
Bytes WideDropBlock(const std::vector<std::wstring>& names);
// A header with the given list offset and width, followed by `list` as it is.
Bytes DropBlockWithList(DWORD listOffset, bool wide, const Bytes& list);
Bytes AsBytes(const std::string& text);
Bytes AsBytes(const std::wstring& text);

// A movable global block holding exactly `bytes`.
HGLOBAL GlobalBlockOf(const Bytes& bytes);

// The list as the classic loop reads it: DragQueryFileA for the count, then for each index into a
// zeroed MAX_PATH buffer. An empty list counts no names, as on Windows.
std::vector<std::string> DragQueryFileLoop(HGLOBAL block);

// The selection text the scanner receives for `entries`: each followed by "|", then a zero.
std::string SelectionText(const std::vector<std::string>& entries);
