// Linked into kestrane_probe, a test build of the launcher's own sources: before the launcher
// starts, it routes the launcher's platform calls through recorders (one line per call, to the
// file named by KESTRANE_PROBE_RECORD) and injects the faults that the platform will not give
// on demand:
//   KESTRANE_PROBE_MANAGER_ERROR=N        OpenSCManagerW fails with error N
//   KESTRANE_PROBE_FAIL_ALLOCATION_AFTER_MANAGER  the first heap allocation after OpenSCManagerW
//                                          fails (the one that would hold the message text)
//   KESTRANE_PROBE_CLOCK                  each line starts with "t=<milliseconds> " (for the benchmarks)
//   KESTRANE_PROBE_CONTROL_ERRORS=a,b,..  the first ControlService calls fail with these codes in turn
//                                          (0: that call goes to the service); later calls go through
//   KESTRANE_PROBE_SERVICE_ERROR=N        OpenServiceW fails with error N
//   KESTRANE_PROBE_MUTEX=exists|fail:N    CreateMutexW reports an existing mutex, or fails with error N
// Without KESTRANE_PROBE_RECORD the probe is the launcher, unchanged.
#include <windows.h>
#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>

#include "ImportPatch.h"

namespace {

HANDLE g_record = INVALID_HANDLE_VALUE;
SC_HANDLE g_manager = NULL;
SC_HANDLE g_service = NULL;
DWORD g_managerError = 0;
bool g_failAllocationAfterManager = false;
bool g_failNextAllocation = false;
bool g_clock = false;
DWORD g_controlErrors[16] = {};
size_t g_controlErrorCount = 0;
size_t g_controlCalls = 0;
DWORD g_serviceError = 0;
bool g_mutexExists = false;
DWORD g_mutexError = 0;

enum Slot { kInitCommonControlsEx, kCreateMutexW, kOpenSCManagerW, kOpenServiceW, kControlService, kSleep,
            kCloseServiceHandle, kMessageBoxW, kMalloc, kRealloc, kSlotCount };

std::unique_ptr<ImportPatch> g_patches[kSlotCount];

// Records are written without the heap, so that the allocation fault cannot touch them, and
// leave the caller's last error as the recorded call left it.
void Record(const char* format, ...) {
    DWORD lastError = GetLastError();
    char line[1024];
    int stamp = 0;
    if (g_clock) {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        stamp = std::snprintf(line, 32, "t=%.3f ", static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    }
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line + stamp, sizeof(line) - 1 - stamp, format, args);
    va_end(args);
    if (length < 0) length = 0;
    length += stamp;
    if (length > static_cast<int>(sizeof(line)) - 2) length = static_cast<int>(sizeof(line)) - 2;
    line[length++] = '\n';
    DWORD written = 0;
    WriteFile(g_record, line, static_cast<DWORD>(length), &written, NULL);
    SetLastError(lastError);
}

// UTF-8 form of a wide text in a caller's buffer; "NULL" for a null pointer.
const char* Utf8(LPCWSTR text, char* buffer, int size) {
    if (!text) return "NULL";
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, size, NULL, NULL)) buffer[0] = 0;
    return buffer;
}

const char* HandleName(SC_HANDLE handle) {
    if (!handle) return "NULL";
    if (handle == g_manager) return "manager";
    if (handle == g_service) return "service";
    return "other";
}

template <typename F>
F Original(int slot) {
    return g_patches[slot]->Original<F>();
}

BOOL WINAPI RecordInitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    Record("InitCommonControlsEx size=%lu classes=%#lx", static_cast<unsigned long>(controls->dwSize),
           static_cast<unsigned long>(controls->dwICC));
    return Original<decltype(&InitCommonControlsEx)>(kInitCommonControlsEx)(controls);
}

HANDLE WINAPI RecordCreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCWSTR name) {
    HANDLE mutex = NULL;
    if (g_mutexError)
        SetLastError(g_mutexError);
    else
        mutex = Original<decltype(&CreateMutexW)>(kCreateMutexW)(security, initialOwner, name);
    if (mutex && g_mutexExists) SetLastError(ERROR_ALREADY_EXISTS);
    DWORD error = GetLastError();
    char text[512];
    if (!mutex)
        Record("CreateMutexW security=%s owner=%d name=%s -> NULL error=%lu", security ? "set" : "NULL", initialOwner,
               Utf8(name, text, sizeof(text)), static_cast<unsigned long>(error));
    else
        Record("CreateMutexW security=%s owner=%d name=%s -> %s", security ? "set" : "NULL", initialOwner,
               Utf8(name, text, sizeof(text)), error == ERROR_ALREADY_EXISTS ? "existed" : "created");
    SetLastError(error);
    return mutex;
}

SC_HANDLE WINAPI RecordOpenSCManagerW(LPCWSTR machine, LPCWSTR database, DWORD access) {
    SC_HANDLE manager = NULL;
    if (g_managerError) {
        SetLastError(g_managerError);
    } else {
        manager = Original<decltype(&OpenSCManagerW)>(kOpenSCManagerW)(machine, database, access);
        g_manager = manager;
    }
    DWORD error = GetLastError();
    char machineText[256], databaseText[256];
    if (manager)
        Record("OpenSCManagerW machine=%s database=%s access=%#lx -> manager", Utf8(machine, machineText, 256),
               Utf8(database, databaseText, 256), static_cast<unsigned long>(access));
    else
        Record("OpenSCManagerW machine=%s database=%s access=%#lx -> NULL error=%lu", Utf8(machine, machineText, 256),
               Utf8(database, databaseText, 256), static_cast<unsigned long>(access), static_cast<unsigned long>(error));
    g_failNextAllocation = g_failAllocationAfterManager;
    SetLastError(error);
    return manager;
}

SC_HANDLE WINAPI RecordOpenServiceW(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    SC_HANDLE service = NULL;
    if (g_serviceError)
        SetLastError(g_serviceError);
    else
        service = Original<decltype(&OpenServiceW)>(kOpenServiceW)(manager, name, access);
    DWORD error = GetLastError();
    if (service) g_service = service;
    char text[256];
    if (service)
        Record("OpenServiceW %s name=%s access=%#lx -> service", HandleName(manager), Utf8(name, text, 256),
               static_cast<unsigned long>(access));
    else
        Record("OpenServiceW %s name=%s access=%#lx -> NULL error=%lu", HandleName(manager), Utf8(name, text, 256),
               static_cast<unsigned long>(access), static_cast<unsigned long>(error));
    SetLastError(error);
    return service;
}

BOOL WINAPI RecordControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    size_t call = g_controlCalls++;
    DWORD scripted = call < g_controlErrorCount ? g_controlErrors[call] : 0;
    BOOL ok = FALSE;
    if (scripted)
        SetLastError(scripted);
    else
        ok = Original<decltype(&ControlService)>(kControlService)(service, control, status);
    DWORD error = GetLastError();
    if (ok)
        Record("ControlService %s code=%lu -> ok", HandleName(service), static_cast<unsigned long>(control));
    else
        Record("ControlService %s code=%lu -> failed error=%lu", HandleName(service), static_cast<unsigned long>(control),
               static_cast<unsigned long>(error));
    SetLastError(error);
    return ok;
}

void WINAPI RecordSleep(DWORD milliseconds) {
    Record("Sleep %lu", static_cast<unsigned long>(milliseconds));
    Original<decltype(&Sleep)>(kSleep)(milliseconds);
}

BOOL WINAPI RecordCloseServiceHandle(SC_HANDLE handle) {
    Record("CloseServiceHandle %s", HandleName(handle));
    return Original<decltype(&CloseServiceHandle)>(kCloseServiceHandle)(handle);
}

int WINAPI RecordMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    char textUtf8[512], captionUtf8[512];
    Record("MessageBoxW owner=%s type=%#x caption=%s text=%s", owner ? "set" : "NULL", type,
           Utf8(caption, captionUtf8, sizeof(captionUtf8)), Utf8(text, textUtf8, sizeof(textUtf8)));
    return Original<decltype(&MessageBoxW)>(kMessageBoxW)(owner, text, caption, type);
}

// One allocation fails, whichever of the two it goes through (the compiler may turn a first
// realloc into malloc); later ones succeed, as the exception machinery needs a little memory.
bool TakeAllocationFault() {
    bool fail = g_failNextAllocation;
    g_failNextAllocation = false;
    return fail;
}

void* __cdecl FaultyMalloc(size_t size) {
    if (TakeAllocationFault()) return NULL;
    return Original<void*(__cdecl*)(size_t)>(kMalloc)(size);
}

void* __cdecl FaultyRealloc(void* block, size_t size) {
    if (TakeAllocationFault()) return NULL;
    return Original<void*(__cdecl*)(void*, size_t)>(kRealloc)(block, size);
}

DWORD EnvironmentNumber(LPCWSTR name) {
    wchar_t value[32];
    DWORD length = GetEnvironmentVariableW(name, value, 32);
    return length > 0 && length < 32 ? static_cast<DWORD>(std::wcstoul(value, NULL, 0)) : 0;
}

// Runs with the other static constructors, before the framework's entry calls the launcher.
struct CallRecorder {
    CallRecorder() {
        wchar_t path[MAX_PATH];
        DWORD length = GetEnvironmentVariableW(L"KESTRANE_PROBE_RECORD", path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        g_record = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (g_record == INVALID_HANDLE_VALUE) ExitProcess(90);
        g_managerError = EnvironmentNumber(L"KESTRANE_PROBE_MANAGER_ERROR");
        g_failAllocationAfterManager = GetEnvironmentVariableW(L"KESTRANE_PROBE_FAIL_ALLOCATION_AFTER_MANAGER", NULL, 0) > 0;
        g_clock = GetEnvironmentVariableW(L"KESTRANE_PROBE_CLOCK", NULL, 0) > 0;
        g_serviceError = EnvironmentNumber(L"KESTRANE_PROBE_SERVICE_ERROR");
        wchar_t mutexMode[32] = {0};
        DWORD mutexLength = GetEnvironmentVariableW(L"KESTRANE_PROBE_MUTEX", mutexMode, 32);
        if (mutexLength > 0 && mutexLength < 32) {
            g_mutexExists = std::wcscmp(mutexMode, L"exists") == 0;
            if (std::wcsncmp(mutexMode, L"fail:", 5) == 0) g_mutexError = static_cast<DWORD>(std::wcstoul(mutexMode + 5, NULL, 0));
        }
        wchar_t errors[256];
        DWORD errorsLength = GetEnvironmentVariableW(L"KESTRANE_PROBE_CONTROL_ERRORS", errors, 256);
        for (wchar_t* next = errorsLength && errorsLength < 256 ? errors : NULL; next && *next && g_controlErrorCount < 16;) {
            g_controlErrors[g_controlErrorCount++] = static_cast<DWORD>(std::wcstoul(next, &next, 0));
            while (*next == L',' || *next == L' ') ++next;
        }

        struct Patch {
            Slot slot;
            const char* dll;
            const char* function;
            const void* replacement;
        } patches[] = {
            {kInitCommonControlsEx, "comctl32.dll", "InitCommonControlsEx", reinterpret_cast<const void*>(&RecordInitCommonControlsEx)},
            {kCreateMutexW, "kernel32.dll", "CreateMutexW", reinterpret_cast<const void*>(&RecordCreateMutexW)},
            {kOpenSCManagerW, "advapi32.dll", "OpenSCManagerW", reinterpret_cast<const void*>(&RecordOpenSCManagerW)},
            {kOpenServiceW, "advapi32.dll", "OpenServiceW", reinterpret_cast<const void*>(&RecordOpenServiceW)},
            {kControlService, "advapi32.dll", "ControlService", reinterpret_cast<const void*>(&RecordControlService)},
            {kSleep, "kernel32.dll", "Sleep", reinterpret_cast<const void*>(&RecordSleep)},
            {kCloseServiceHandle, "advapi32.dll", "CloseServiceHandle", reinterpret_cast<const void*>(&RecordCloseServiceHandle)},
            {kMessageBoxW, "user32.dll", "MessageBoxW", reinterpret_cast<const void*>(&RecordMessageBoxW)},
            {kMalloc, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&FaultyMalloc)},
            {kRealloc, "msvcrt.dll", "realloc", reinterpret_cast<const void*>(&FaultyRealloc)},
        };
        HMODULE self = GetModuleHandleW(NULL);
        for (const Patch& patch : patches) {
            try {
                g_patches[patch.slot].reset(new ImportPatch(self, patch.dll, patch.function, patch.replacement));
            } catch (...) {
                Record("no import %s!%s", patch.dll, patch.function);
                ExitProcess(91);
            }
        }
    }
};

CallRecorder g_callRecorder;

}  // namespace
