#include "ClockLook.h"

#include "TestRegistry.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

namespace {

class ClockLookStore : public ::testing::Test
{
protected:
    void SetUp() override { ClearTestStore(); }
    void TearDown() override { ClearTestStore(); }
};

int Colour(COLORREF c) { return static_cast<int>(c); }

// Damaged stored values, and what the look makes of them.
struct DamagedCase {
    const SettingDef& setting;
    int stored;
    int expected;
    int (*field)(const ClockLook&);
    const char* why;
};
const DamagedCase kDamaged[] = {
    {Setting::kCC, -1, 1, [](const ClockLook& l) { return l.customColours; }, "-1 is custom colours on"},
    {Setting::kCB, static_cast<int>(0xFF123456), 0x123456, [](const ClockLook& l) { return Colour(l.background); },
     "a colour keeps its 24 bits"},
    {Setting::kCT, -1, 0xFFFFFF, [](const ClockLook& l) { return Colour(l.text); }, "a colour keeps its 24 bits"},
    {Setting::kCO, 0x01000000, 0, [](const ClockLook& l) { return Colour(l.outline); }, "a colour keeps its 24 bits"},
    {Setting::kOT, 0, 1, [](const ClockLook& l) { return l.thickness; }, "an outline is at least 1 pixel"},
    {Setting::kOT, 100000, 99, [](const ClockLook& l) { return l.thickness; }, "an outline is at most 99 pixels"},
    {Setting::kMS, -5, 0, [](const ClockLook& l) { return l.margins; }, "no negative margins"},
    {Setting::kMS, 100, 99, [](const ClockLook& l) { return l.margins; }, "margins at most 99"},
    {Setting::kAL, -1, 0, [](const ClockLook& l) { return l.alignment; }, "alignment 0..2"},
    {Setting::kAL, 5, 2, [](const ClockLook& l) { return l.alignment; }, "alignment 0..2"},
};

TEST_F(ClockLookStore, DamagedValuesAreMaskedAndClamped)
{
    for (const DamagedCase& c : kDamaged) {
        WriteSettingInt(c.setting, c.stored);
        EXPECT_EQ(c.expected, c.field(ClockLook::Load())) << c.setting.Name() << " " << c.stored << ": " << c.why;
        ClearTestStore();
    }
}

TEST_F(ClockLookStore, SavedLookLoadsAgain)
{
    ClockLook look;
    look.customColours = 0;
    look.background = RGB(1, 2, 3);
    look.outline = RGB(7, 8, 9);
    look.thickness = 12;
    look.margins = 0;
    look.lockRight = 1;
    look.alignment = 2;
    look.transparent = 1;
    look.format = L"HH:mm";
    wcscpy(look.font.lfFaceName, L"Tahoma");
    look.font.lfHeight = -20;
    look.Save();
    const ClockLook back = ClockLook::Load();
    EXPECT_EQ(0, back.customColours);
    EXPECT_EQ(RGB(1, 2, 3), back.background);
    EXPECT_EQ(RGB(7, 8, 9), back.outline);
    EXPECT_EQ(12, back.thickness);
    EXPECT_EQ(0, back.margins);
    EXPECT_EQ(1, back.lockRight);
    EXPECT_EQ(2, back.alignment);
    EXPECT_EQ(1, back.transparent);
    EXPECT_EQ(CString(L"HH:mm"), back.format);
    EXPECT_STREQ(L"Tahoma", back.font.lfFaceName);
}

TEST_F(ClockLookStore, OutlineWithoutFontFamilyIsTurnedOffAndStored)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, nullptr));
    ClockLook look;
    wcscpy(look.font.lfFaceName, L"No Such Face Anywhere");
    look.transparent = 0;
    EXPECT_EQ(ClockLook::OutlineFace::NotNeeded, look.KeepOutlineDrawable()) << "an opaque clock draws no outline";
    look.transparent = 1;
    EXPECT_EQ(ClockLook::OutlineFace::Dropped, look.KeepOutlineDrawable());
    EXPECT_EQ(0, look.useOutline);
    int stored = -1;
    EXPECT_TRUE(GetStoredSettingInt(Setting::kUO, &stored));
    EXPECT_EQ(0, stored);
    Gdiplus::GdiplusShutdown(token);
}

}  // namespace
