// The framework's bitmap: owns one GDI bitmap and deletes it when it goes.
#pragma once

#include <windows.h>

class CBitmap {
public:
    CBitmap() = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    ~CBitmap() { DeleteObject(); }

    // Takes ownership of `bitmap`; whatever was held before is deleted.
    BOOL Attach(HBITMAP bitmap) {
        DeleteObject();
        m_hObject = bitmap;
        return bitmap != NULL;
    }
    HBITMAP Detach() {
        HBITMAP bitmap = m_hObject;
        m_hObject = NULL;
        return bitmap;
    }
    BOOL DeleteObject() {
        if (!m_hObject) return FALSE;
        BOOL deleted = ::DeleteObject(m_hObject);
        m_hObject = NULL;
        return deleted;
    }
    HBITMAP GetSafeHandle() const { return m_hObject; }
    operator HBITMAP() const { return m_hObject; }

private:
    HBITMAP m_hObject = NULL;
};
