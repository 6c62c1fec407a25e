// Every COM entry point runs its body through ComFirewall: an exception that reached the host
// would take Explorer down with it.
#pragma once

#include <windows.h>

#include <new>

#include "Framework.h"

template <typename Body>
HRESULT ComFirewall(Body&& body) noexcept {
    try {
        return body();
    } catch (CMemoryException* e) {
        e->Delete();
        return E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
