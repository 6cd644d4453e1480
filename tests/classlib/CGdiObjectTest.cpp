#include "ClassLib.h"

#include <gtest/gtest.h>

TEST(CGdiObject, OneOwnerPerHandle)
{
    HGDIOBJ kept = nullptr;
    HGDIOBJ deleted = nullptr;
    {
        CFont owner;
        LOGFONTW lf{};
        lf.lfHeight = -12;
        ASSERT_TRUE(owner.CreateFontIndirect(&lf));
        deleted = owner.m_hObject;

        CFont released;
        ASSERT_TRUE(released.CreateFontIndirect(&lf));
        kept = released.Detach();
        EXPECT_EQ(nullptr, released.m_hObject);

        EXPECT_FALSE(owner.Attach(kept)) << "a wrapper that holds an object takes no second one";
    }
    EXPECT_EQ(0u, GetObjectType(deleted)) << "deleted with its wrapper";
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(kept)) << "a detached object outlives the wrapper";
    DeleteObject(kept);
}

TEST(CGdiObject, CreatingAgainReplacesTheOldObject)
{
    CFont font;
    LOGFONTW lf{};
    lf.lfHeight = -12;
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    HGDIOBJ first = font.m_hObject;
    lf.lfWeight = 700;
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    EXPECT_EQ(0u, GetObjectType(first));
    LOGFONTW back{};
    ASSERT_EQ(static_cast<int>(sizeof(back)), font.GetLogFont(&back));
    EXPECT_EQ(700, back.lfWeight);
}

TEST(CDC, OwnsCreatedContextsAndReleasesDetachedOnes)
{
    HDC kept = nullptr;
    HDC deleted = nullptr;
    {
        CDC owner;
        ASSERT_TRUE(owner.CreateCompatibleDC(nullptr));
        deleted = owner.m_hDC;
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&owner, 4, 4));
        HGDIOBJ old = owner.SelectObject(&bitmap);
        EXPECT_NE(nullptr, old);
        owner.SelectObject(old);

        CDC released;
        ASSERT_TRUE(released.CreateCompatibleDC(nullptr));
        kept = released.Detach();
    }
    EXPECT_EQ(0u, GetObjectType(deleted));
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(kept));
    DeleteDC(kept);
}

// A context that another owner gives back (an owner-draw item's, a buffered paint's) is never
// deleted, on whatever path the CDC goes.
TEST(CDC, NeverDeletesABorrowedContext)
{
    CMemDCHandle lent(CreateCompatibleDC(nullptr));
    {
        CDC dc;
        ASSERT_TRUE(dc.Attach(lent.Get()));
        EXPECT_FALSE(dc.DeleteDC()) << "let go, not deleted";
        ASSERT_TRUE(dc.Attach(lent.Get()));
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr)) << "lets the borrowed one go first";
        CDC early;
        ASSERT_TRUE(early.Attach(lent.Get()));
    }   // no Detach, as after an early return
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(lent.Get()));
}
