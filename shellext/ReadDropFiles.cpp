#include "ReadDropFiles.h"

#include <shlobj.h>

#include <climits>
#include <cstring>
#include <vector>

#include "GlobalMemory.h"
#include "SelectedItemPath.h"

namespace {

// A medium the data object handed over; released whatever happens next.
class StorageMedium {
public:
    explicit StorageMedium(const STGMEDIUM& medium) : m_medium(medium) {}
    StorageMedium(const StorageMedium&) = delete;
    StorageMedium& operator=(const StorageMedium&) = delete;
    ~StorageMedium() { ReleaseStgMedium(&m_medium); }
    const STGMEDIUM& Get() const { return m_medium; }

private:
    STGMEDIUM m_medium;
};

// Leaves the list empty unless Commit() was reached: no half-read selection survives a failure.
class ListGuard {
public:
    explicit ListGuard(CStringArray& files) : m_files(files) {}
    ListGuard(const ListGuard&) = delete;
    ListGuard& operator=(const ListGuard&) = delete;
    ~ListGuard() {
        if (!m_committed) m_files.RemoveAll();
    }
    void Commit() { m_committed = true; }

private:
    CStringArray& m_files;
    bool m_committed = false;
};

struct NameSpan {
    SIZE_T offset;  // from the start of the block, in bytes
    SIZE_T length;  // in characters of the list's width
};

// Splits the zero-separated, double-zero-ended list at `offset` into names, never reading at or
// past `size`. False when a name or the list runs off the end of the block.
template <typename Ch>
bool SplitNames(const BYTE* block, SIZE_T size, SIZE_T offset, std::vector<NameSpan>& names) {
    SIZE_T at = offset;
    for (;;) {
        SIZE_T start = at;
        Ch ch;
        do {
            if (size - at < sizeof(Ch)) return false;
            std::memcpy(&ch, block + at, sizeof(Ch));
            at += sizeof(Ch);
        } while (ch != 0);
        SIZE_T length = (at - start) / sizeof(Ch) - 1;
        if (length == 0) return true;  // the empty name that ends the list
        names.push_back(NameSpan{start, length});
    }
}

// The name as a properly aligned wide string (blocks may place the list at an odd offset).
const wchar_t* WideName(const BYTE* block, const NameSpan& span, std::vector<wchar_t>& scratch) {
    const BYTE* first = block + span.offset;
    if (reinterpret_cast<ULONG_PTR>(first) % alignof(wchar_t) == 0) return reinterpret_cast<const wchar_t*>(first);
    scratch.resize(span.length);
    std::memcpy(scratch.data(), first, span.length * sizeof(wchar_t));
    return scratch.data();
}

}  // namespace

HRESULT ReadDropFiles(IDataObject* pDataObject, CStringArray& files) {
    files.RemoveAll();
    ListGuard guard(files);

    FORMATETC format = {CF_HDROP, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM received;
    std::memset(&received, 0, sizeof(received));
    if (FAILED(pDataObject->GetData(&format, &received))) return E_FAIL;  // nothing to release
    StorageMedium medium(received);
    if (medium.Get().tymed != TYMED_HGLOBAL || !medium.Get().hGlobal) return E_FAIL;

    // One pass over the block, bounded by its size: Explorer hands over every selected item on
    // each click, and a malformed block must not lead us outside it.
    GlobalLockGuard lock(medium.Get().hGlobal);
    const BYTE* block = static_cast<const BYTE*>(lock.Data());
    if (!block || lock.Size() < sizeof(DROPFILES)) return E_FAIL;
    DROPFILES header;
    std::memcpy(&header, block, sizeof(header));
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles > lock.Size()) return E_FAIL;

    std::vector<NameSpan> names;
    bool wellFormed = header.fWide ? SplitNames<wchar_t>(block, lock.Size(), header.pFiles, names)
                                   : SplitNames<char>(block, lock.Size(), header.pFiles, names);
    if (!wellFormed || names.size() > static_cast<size_t>(INT_MAX)) return E_FAIL;

    files.SetSize(static_cast<int>(names.size()));
    std::vector<wchar_t> scratch;
    for (size_t i = 0; i < names.size(); ++i) {
        const NameSpan& span = names[i];
        files[static_cast<int>(i)] =
            header.fWide ? SelectedItemPath(WideName(block, span, scratch), span.length)
                         : SelectedItemPath(reinterpret_cast<const char*>(block + span.offset), span.length);
    }
    files.FreeExtra();
    guard.Commit();
    return S_OK;
}
