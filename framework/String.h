// The framework's string: narrow (CStringA) or wide (CStringW); CString follows the module's
// character width. Allocation failure throws CMemoryException*.
#pragma once

#include <windows.h>
#include <tchar.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "MemoryException.h"

template <typename Ch>
class CStringT {
public:
    CStringT() = default;
    CStringT(const Ch* text) { Append(text, Length(text)); }
    CStringT(const Ch* text, int length) { Append(text, length < 0 ? 0 : static_cast<size_t>(length)); }
    CStringT(const CStringT& other) { Append(other.m_data, other.m_length); }
    CStringT(CStringT&& other) noexcept { Swap(other); }
    ~CStringT() { std::free(m_data); }

    CStringT& operator=(const CStringT& other) {
        if (this != &other) {
            CStringT copy(other);
            Swap(copy);
        }
        return *this;
    }
    CStringT& operator=(CStringT&& other) noexcept {
        Swap(other);
        return *this;
    }
    CStringT& operator=(const Ch* text) {
        CStringT copy(text);
        Swap(copy);
        return *this;
    }

    CStringT& operator+=(const CStringT& other) { return Append(other.m_data, other.m_length); }
    CStringT& operator+=(const Ch* text) { return Append(text, Length(text)); }
    CStringT& operator+=(Ch ch) { return Append(&ch, 1); }

    int GetLength() const { return static_cast<int>(m_length); }
    bool IsEmpty() const { return m_length == 0; }
    void Empty() {
        std::free(m_data);
        m_data = nullptr;
        m_length = m_capacity = 0;
    }
    operator const Ch*() const { return m_data ? m_data : EmptyText(); }
    const Ch* GetString() const { return *this; }
    Ch GetAt(int index) const { return m_data[index]; }

    // Reserves room for `length` characters so that appends up to it never reallocate.
    void Preallocate(int length) {
        if (length > 0) Reserve(static_cast<size_t>(length));
    }
    // Drops the spare capacity.
    void FreeExtra() {
        if (m_data && m_capacity > m_length) {
            Ch* shrunk = static_cast<Ch*>(std::realloc(m_data, (m_length + 1) * sizeof(Ch)));
            if (shrunk) {
                m_data = shrunk;
                m_capacity = m_length;
            }
        }
    }

    // printf-style formatting into this string.
    void Format(const Ch* format, ...) {
        va_list args;
        va_start(args, format);
        try {
            FormatV(format, args);
        } catch (...) {
            va_end(args);
            throw;
        }
        va_end(args);
    }
    void FormatV(const Ch* format, va_list args) {
        va_list count;
        va_copy(count, args);
        int needed = CountFormatted(format, count);
        va_end(count);
        if (needed < 0) needed = 0;
        CStringT result;
        result.Reserve(static_cast<size_t>(needed));
        PrintFormatted(result.m_data, static_cast<size_t>(needed) + 1, format, args);
        result.m_length = static_cast<size_t>(needed);
        result.m_data[needed] = 0;
        Swap(result);
    }

    friend CStringT operator+(const CStringT& left, const CStringT& right) {
        CStringT joined(left);
        joined += right;
        return joined;
    }
    friend bool operator==(const CStringT& left, const CStringT& right) {
        return left.m_length == right.m_length &&
               (left.m_length == 0 || std::memcmp(left.m_data, right.m_data, left.m_length * sizeof(Ch)) == 0);
    }
    friend bool operator!=(const CStringT& left, const CStringT& right) { return !(left == right); }

private:
    static const Ch* EmptyText() {
        static const Ch empty[1] = {0};
        return empty;
    }
    static size_t Length(const Ch* text) {
        size_t n = 0;
        if (text)
            while (text[n]) ++n;
        return n;
    }
    static int CountFormatted(const char* format, va_list args) { return _vscprintf(format, args); }
    static int CountFormatted(const wchar_t* format, va_list args) { return _vscwprintf(format, args); }
    static void PrintFormatted(char* out, size_t size, const char* format, va_list args) {
        _vsnprintf(out, size, format, args);
    }
    static void PrintFormatted(wchar_t* out, size_t size, const wchar_t* format, va_list args) {
        _vsnwprintf(out, size, format, args);
    }

    void Swap(CStringT& other) noexcept {
        Ch* data = m_data;
        m_data = other.m_data;
        other.m_data = data;
        size_t length = m_length;
        m_length = other.m_length;
        other.m_length = length;
        size_t capacity = m_capacity;
        m_capacity = other.m_capacity;
        other.m_capacity = capacity;
    }
    void Reserve(size_t length) {
        if (m_data && length <= m_capacity) return;
        if (length >= (SIZE_MAX / sizeof(Ch)) - 1) AfxThrowMemoryException();
        Ch* grown = static_cast<Ch*>(std::realloc(m_data, (length + 1) * sizeof(Ch)));
        if (!grown) AfxThrowMemoryException();
        if (!m_data) grown[0] = 0;
        m_data = grown;
        m_capacity = length;
    }
    CStringT& Append(const Ch* text, size_t count) {
        if (count == 0) return *this;
        size_t needed = m_length + count;
        if (!m_data || needed > m_capacity) {
            size_t doubled = m_capacity * 2;
            Reserve(needed > doubled ? needed : doubled);
        }
        std::memmove(m_data + m_length, text, count * sizeof(Ch));
        m_length = needed;
        m_data[m_length] = 0;
        return *this;
    }

    Ch* m_data = nullptr;
    size_t m_length = 0;
    size_t m_capacity = 0;
};

using CStringA = CStringT<char>;
using CStringW = CStringT<wchar_t>;
#ifdef UNICODE
using CString = CStringW;
#else
using CString = CStringA;
#endif
