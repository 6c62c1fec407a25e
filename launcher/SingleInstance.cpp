#include "SingleInstance.h"

#include <windows.h>

namespace {
// No namespace prefix: copies of other logged-on users must not see it.
const wchar_t kSingleInstanceMutex[] = L"Kestrane-3F1A7C20-58B4-4e6d-9C1E-0D2B6A47E915";
}  // namespace

bool ClaimSingleInstance() {
    // The handle stays open for the life of the process: its existence marks the running copy.
    CreateMutexW(NULL, TRUE, kSingleInstanceMutex);
    // Any other outcome, a failed call included, counts as the first copy.
    return GetLastError() != ERROR_ALREADY_EXISTS;
}
