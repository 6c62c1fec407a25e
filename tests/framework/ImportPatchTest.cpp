// The import patch takes a call to the replacement and gives the original back afterwards.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ImportPatch.h"

namespace {

DWORD WINAPI ReplacementTickCount() { return 12345; }

// Each call goes through the import slot afresh (the compiler may keep a loaded slot in a register).
__attribute__((noinline)) DWORD TickCount() { return GetTickCount(); }
DWORD WINAPI ReplacementLastError() { return 777; }

TEST(ImportPatch, CallTakesTheReplacementWhileAlive) {
    HMODULE self = GetModuleHandle(NULL);
    void* before = *FindImportSlot(self, "kernel32.dll", "GetTickCount");
    {
        ImportPatch patch(self, "kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&ReplacementTickCount));
        EXPECT_EQ(12345u, TickCount());
        EXPECT_EQ(before, patch.Original<void*>());
        EXPECT_NE(12345u, patch.Original<DWORD(WINAPI*)()>()());
    }
    EXPECT_EQ(before, *FindImportSlot(self, "kernel32.dll", "GetTickCount"));
    DWORD a = TickCount();
    Sleep(20);
    EXPECT_GT(TickCount(), a);
}

TEST(ImportPatch, DllNamesMatchWhateverTheCase) {
    ImportPatch patch(GetModuleHandle(NULL), "KERNEL32.DLL", "GetLastError", reinterpret_cast<void*>(&ReplacementLastError));
    EXPECT_EQ(777u, GetLastError());
}

TEST(ImportPatch, UnknownImportIsReported) {
    EXPECT_THROW(ImportPatch(GetModuleHandle(NULL), "kernel32.dll", "NoSuchFunction", nullptr), std::runtime_error);
    EXPECT_THROW(ImportPatch(GetModuleHandle(NULL), "nosuch.dll", "GetTickCount", nullptr), std::runtime_error);
}

}  // namespace
