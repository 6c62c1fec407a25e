// CBitmap owns its GDI object: it is deleted with the CBitmap unless detached.
#include <gtest/gtest.h>

#include "Framework.h"

namespace {

HBITMAP NewBitmap() { return CreateBitmap(13, 13, 1, 32, NULL); }

TEST(CBitmap, DeletesItsBitmapWhenItGoes) {
    HBITMAP handle = NewBitmap();
    ASSERT_NE(nullptr, handle);
    {
        CBitmap bitmap;
        EXPECT_TRUE(bitmap.Attach(handle));
        EXPECT_EQ(handle, bitmap.GetSafeHandle());
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle));
    }
    EXPECT_EQ(0u, GetObjectType(handle));
}

TEST(CBitmap, DetachHandsOwnershipBack) {
    HBITMAP handle = NewBitmap();
    {
        CBitmap bitmap;
        bitmap.Attach(handle);
        EXPECT_EQ(handle, bitmap.Detach());
        EXPECT_EQ(nullptr, bitmap.GetSafeHandle());
    }
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle));
    DeleteObject(handle);
}

TEST(CBitmap, AttachingNullHoldsNothing) {
    CBitmap bitmap;
    EXPECT_FALSE(bitmap.Attach(NULL));
    EXPECT_EQ(nullptr, static_cast<HBITMAP>(bitmap));
    EXPECT_FALSE(bitmap.DeleteObject());
}

}  // namespace
