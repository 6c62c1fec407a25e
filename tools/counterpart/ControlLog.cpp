#include "ControlLog.h"

#include <cstdio>

bool AppendControlCode(const std::wstring& path, DWORD code) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    char line[16];
    int length = std::snprintf(line, sizeof(line), "%lu\n", static_cast<unsigned long>(code));
    DWORD written = 0;
    bool ok = WriteFile(file, line, static_cast<DWORD>(length), &written, NULL) && written == static_cast<DWORD>(length);
    CloseHandle(file);
    return ok;
}
