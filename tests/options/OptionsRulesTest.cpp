// The pure rules of the Options sheet: clamps of the spins and of typed and stored values,
// the Clock page's enabling rules, the chosen font's quality, the popup's placement.
#include "AdvancedPage.h"
#include "ChoozeColorDlg.h"
#include "ClockPage.h"
#include "OptionsSheet.h"

#include <gmock/gmock.h>

namespace {

TEST(AdvancedPageRules, StoredAndSpunMultipliersStayInsideZeroToThirtyNine)
{
    struct Case { int stored, shown; } stored[] = {
        {-5, 0}, {0, 0}, {1, 1}, {38, 38}, {39, 39}, {40, 39}, {INT_MAX, 39}, {INT_MIN, 0},
    };
    for (const auto& c : stored) EXPECT_EQ(c.shown, CAdvancedPage::ClampMultiplier(c.stored)) << c.stored;
    struct Spin { int pos, delta, result; } spins[] = {
        {0, -1, 0}, {1, -1, 0}, {2, -1, 1}, {37, 1, 38}, {38, 1, 39}, {39, 1, 39}, {50, -1, 39}, {0, 1, 1},
    };
    for (const auto& c : spins) EXPECT_EQ(c.result, CAdvancedPage::SpinMultiplier(c.pos, c.delta)) << c.pos << c.delta;
    // Typed text stays as typed (no limit), read up to the first non-digit; a number beyond
    // 32 bits saturates (stored as 0xFFFFFFFF) instead of wrapping round.
    struct Typed { const wchar_t* text; unsigned stored; } typed[] = {
        {L"50", 50}, {L"", 0}, {L"12x", 12}, {L"4294967295", 0xFFFFFFFFu}, {L"4294967296", 0xFFFFFFFFu},
        {L"6442450944", 0xFFFFFFFFu}, {L"999999999999999", 0xFFFFFFFFu},
    };
    for (const auto& c : typed)
        EXPECT_EQ(c.stored, static_cast<unsigned>(CAdvancedPage::EditMultiplier(c.text))) << c.text;
}

TEST(ClockPageRules, MarginsAndThicknessKeepTheirRanges)
{
    struct Spin { int pos, delta, margins, thickness; } spins[] = {
        {0, -1, 0, 1},    // the thickness can never reach 0
        {1, -1, 0, 1},
        {2, -1, 1, 1},
        {98, 1, 99, 99},
        {99, 1, 99, 99},
        {50, 1, 51, 51},
    };
    for (const auto& c : spins) {
        EXPECT_EQ(c.margins, CClockPage::SpinMargins(c.pos, c.delta)) << c.pos << "," << c.delta;
        EXPECT_EQ(c.thickness, CClockPage::SpinThickness(c.pos, c.delta)) << c.pos << "," << c.delta;
    }
    struct Typed { const wchar_t* text; int margins, thickness; } typed[] = {
        {L"0", 0, 1},  // a typed 0 thickness stores 1
        {L"7", 7, 7},
        {L"99999", 99, 99},
        {L"99999999999999999999", 99, 99},
        {L"", 0, 1},
        {L"abc", 0, 1},
    };
    for (const auto& c : typed) {
        EXPECT_EQ(c.margins, CClockPage::TypedMargins(c.text)) << c.text;
        EXPECT_EQ(c.thickness, CClockPage::TypedThickness(c.text)) << c.text;
    }
}

TEST(ClockPageRules, EnablingRules)
{
    using In = CClockPage::EnableInput;
    struct Case {
        In in;
        bool text, back, font, border, outline, useOutline, source;
        const char* why;
    } cases[] = {
        {{true, true, false, true, true}, true, true, true, true, false, false, true, "opaque: no outline controls"},
        {{true, false, true, true, false}, true, false, false, false, true, true, false, "transparent: no background"},
        {{true, true, true, false, true}, true, false, true, false, false, true, true, "outline off: no colour or thickness"},
        {{false, false, false, false, false}, false, false, false, true, false, false, false, "system colours"},
    };
    for (const Case& c : cases) {
        const CClockPage::Enabled e = CClockPage::EnablingRules(c.in);
        EXPECT_EQ(c.text, e.textColor) << c.why;
        EXPECT_EQ(c.back, e.backColor) << c.why;
        EXPECT_EQ(c.font, e.font) << c.why;
        EXPECT_EQ(c.border, e.border) << c.why;
        EXPECT_EQ(c.border, e.margins) << c.why;
        EXPECT_EQ(c.outline, e.outlineColor) << c.why;
        EXPECT_EQ(c.outline, e.thickness) << c.why;
        EXPECT_EQ(c.useOutline, e.useOutline) << c.why;
        EXPECT_EQ(c.source, e.reminderSource) << c.why;
    }
}

TEST(ClockPageRules, ChosenFontQualityAndSourceIndex)
{
    struct Case { int cfq; BYTE dialog, result; } cases[] = {
        {0, 0, CLEARTYPE_QUALITY}, {0, 1, CLEARTYPE_QUALITY}, {0, 4, 4}, {3, 0, 3}, {9, 0, 6}, {0x105, 0, 5}, {0x100, 2, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, CClockPage::ChosenFontQuality(c.cfq, c.dialog)) << c.cfq;
    EXPECT_EQ(0, CClockPage::SourceIndex(7));
    EXPECT_EQ(0, CClockPage::SourceIndex(-1));
    EXPECT_EQ(2, CClockPage::SourceIndex(2));
}

TEST(OptionsSheetRules, IconSizeAndStartPage)
{
    EXPECT_EQ(16, COptionsSheet::SmallIconSize(16));
    EXPECT_EQ(16, COptionsSheet::SmallIconSize(23));
    EXPECT_EQ(24, COptionsSheet::SmallIconSize(24));
    EXPECT_EQ(24, COptionsSheet::SmallIconSize(31));
    EXPECT_EQ(32, COptionsSheet::SmallIconSize(48));
    EXPECT_EQ(0u, COptionsSheet::StartIndex(COptionsSheet::kClockPage));
    EXPECT_EQ(1u, COptionsSheet::StartIndex(COptionsSheet::kTimeSyncPage));
    EXPECT_EQ(2u, COptionsSheet::StartIndex(COptionsSheet::kAdvancedPage));
    EXPECT_EQ(0u, COptionsSheet::StartIndex(7));
}

TEST(ColorPopupRules, PlacementStaysInTheWorkAreaOfTheButtonsMonitor)
{
    const SIZE popup{80, 120};
    const RECT screen{0, 0, 1280, 1024}, taskbarBelow{0, 0, 1280, 984}, rightOfPrimary{1280, 0, 2560, 1024};
    struct Case { RECT anchor; RECT work; POINT at; const char* why; } cases[] = {
        {{100, 100, 150, 120}, screen, {100, 120}, "under the anchor"},
        {{100, 950, 150, 970}, screen, {100, 830}, "above the anchor near the bottom"},
        {{1250, 100, 1270, 120}, screen, {1200, 120}, "moved left near the right edge"},
        {{1250, 950, 1270, 970}, screen, {1200, 830}, "both near the bottom-right corner"},
        {{100, 880, 150, 900}, taskbarBelow, {100, 760}, "above the anchor rather than under the taskbar"},
        {{1400, 100, 1450, 120}, rightOfPrimary, {1400, 120}, "stays on a monitor right of the primary"},
        {{2530, 100, 2550, 120}, rightOfPrimary, {2480, 120}, "moved left by what passes that monitor"},
    };
    for (const Case& c : cases) {
        POINT at = CChoozeColorDlg::PlacePopup(c.anchor, popup, c.work);
        EXPECT_EQ(c.at.x, at.x) << c.why;
        EXPECT_EQ(c.at.y, at.y) << c.why;
    }
    EXPECT_EQ(16, CChoozeColorDlg::PaletteIndex(RGB(192, 220, 192)));
    EXPECT_EQ(-1, CChoozeColorDlg::PaletteIndex(RGB(1, 2, 3)));
}

}  // namespace
