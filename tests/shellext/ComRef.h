// Holds one COM reference and releases it when it goes.
#pragma once

#include <windows.h>
#include <unknwn.h>

template <typename T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* adopted) : m_p(adopted) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : m_p(other.Detach()) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = other.Detach();
        }
        return *this;
    }
    ~ComRef() { Reset(); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out parameters: releases what was held first.
    T** Out() {
        Reset();
        return &m_p;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    T* Detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    void Reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};
