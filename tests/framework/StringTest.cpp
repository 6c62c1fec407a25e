// CString at the module's width: building, formatting, comparing, and running out of memory.
#include <gtest/gtest.h>

#include "Framework.h"
#include "ImportPatch.h"

namespace {

// Large requests fail; the test program's own small allocations (output, bookkeeping) go through.
void* (*g_realloc)(void*, size_t) = nullptr;
void* FailingLargeRealloc(void* block, size_t size) { return size >= (1u << 20) ? nullptr : g_realloc(block, size); }

TEST(CString, BuildsByAppending) {
    CString text;
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(0, lstrcmp(text, TEXT("")));
    text += TEXT("C:\\a.exe");
    text += TEXT('|');
    text += CString(TEXT("D:\\b.doc"));
    text += TEXT('|');
    EXPECT_EQ(18, text.GetLength());
    EXPECT_EQ(0, lstrcmp(text, TEXT("C:\\a.exe|D:\\b.doc|")));
}

TEST(CString, CopiesAreIndependent) {
    CString first(TEXT("one"));
    CString second(first);
    second += TEXT("two");
    EXPECT_EQ(0, lstrcmp(first, TEXT("one")));
    EXPECT_EQ(0, lstrcmp(second, TEXT("onetwo")));
    first = second;
    EXPECT_TRUE(first == second);
    first = TEXT("x");
    EXPECT_TRUE(first != second);
}

TEST(CString, CountedConstructorStopsAtTheCount) {
    CString cut(TEXT("abcdef"), 3);
    EXPECT_EQ(3, cut.GetLength());
    EXPECT_EQ(0, lstrcmp(cut, TEXT("abc")));
}

TEST(CString, FormatsSignedAndUnsignedCodes) {
    struct Row {
        const TCHAR* format;
        int value;
        const TCHAR* expected;
    } rows[] = {
        {TEXT("Open SCM failed with error %d"), 1060, TEXT("Open SCM failed with error 1060")},
        {TEXT("Errore: %d"), -5, TEXT("Errore: -5")},
        {TEXT("Control Service failed with error %u"), -1, TEXT("Control Service failed with error 4294967295")},
    };
    for (const Row& row : rows) {
        CString text;
        text.Format(row.format, row.value);
        EXPECT_EQ(0, lstrcmp(text, row.expected)) << row.expected;
    }
}

TEST(CString, FormatsLongerThanAnyFixedBuffer) {
    CString part;
    for (int i = 0; i < 500; ++i) part += TEXT("0123456789");
    CString text;
    text.Format(TEXT("[%s]"), static_cast<const TCHAR*>(part));
    EXPECT_EQ(5002, text.GetLength());
}

TEST(CString, PreallocatedAppendsKeepTheirBuffer) {
    CString text;
    text.Preallocate(1000);
    text += TEXT('a');
    const TCHAR* before = text;
    for (int i = 0; i < 999; ++i) text += TEXT('b');
    EXPECT_EQ(before, static_cast<const TCHAR*>(text));
    EXPECT_EQ(1000, text.GetLength());
}

TEST(CString, ExhaustedMemoryThrowsTheFrameworkException) {
    CString text(TEXT("abc"));
    bool caught = false;
    {
        ImportPatch fail(GetModuleHandle(NULL), "msvcrt.dll", "realloc", reinterpret_cast<void*>(&FailingLargeRealloc));
        g_realloc = fail.Original<void* (*)(void*, size_t)>();
        try {
            text.Preallocate(1 << 20);
        } catch (CMemoryException* e) {
            caught = true;
            e->Delete();
        }
    }
    EXPECT_TRUE(caught);
    // The string is still whole and usable afterwards.
    EXPECT_EQ(0, lstrcmp(text, TEXT("abc")));
    text += TEXT("d");
    EXPECT_EQ(0, lstrcmp(text, TEXT("abcd")));
}

}  // namespace
