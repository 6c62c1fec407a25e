// CStringArray: sizing, setting, spare capacity, and running out of memory.
#include <gtest/gtest.h>

#include "Framework.h"
#include "ImportPatch.h"

namespace {

// Large requests fail; the test program's own small allocations (output, bookkeeping) go through.
void* (*g_malloc)(size_t) = nullptr;
void* FailingLargeMalloc(size_t size) { return size >= (1u << 20) ? nullptr : g_malloc(size); }

TEST(CStringArray, SetSizeGivesEmptyEntries) {
    CStringArray list;
    list.SetSize(3);
    ASSERT_EQ(3, list.GetSize());
    list.SetAt(0, "first");
    list.SetAt(2, "third");
    EXPECT_STREQ("first", list[0]);
    EXPECT_STREQ("", list[1]);
    EXPECT_STREQ("third", list.GetAt(2));
    list.FreeExtra();
    EXPECT_EQ(3, list.GetSize());
}

TEST(CStringArray, AddAppendsAndRemoveAllEmpties) {
    CStringArray list;
    EXPECT_EQ(0, list.Add("a"));
    EXPECT_EQ(1, list.Add("b"));
    EXPECT_STREQ("b", list[1]);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
}

TEST(CStringArray, ExhaustedMemoryThrowsTheFrameworkException) {
    CStringArray list;
    list.SetSize(2);
    bool caught = false;
    {
        ImportPatch fail(GetModuleHandle(NULL), "msvcrt.dll", "malloc", reinterpret_cast<void*>(&FailingLargeMalloc));
        g_malloc = fail.Original<void* (*)(size_t)>();
        try {
            list.SetSize(100000);
        } catch (CMemoryException* e) {
            caught = true;
            e->Delete();
        }
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(2, list.GetSize());
}

}  // namespace
