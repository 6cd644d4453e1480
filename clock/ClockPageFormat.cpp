// The Clock page's display-format builder: the menus of format codes, the alignment menu
// and the further-zone token, each put into the format edit at the caret.
#include "ClockPage.h"

#include "AddTimeZoneDlg.h"
#include "DigitClock.h"
#include "resource.h"

#include <cwctype>

namespace {

enum FormatPopup { kDatePopup = 0, kTimePopup = 1, kSamplesPopup = 2, kSeparatorPopup = 3, kAlignmentPopup = 4 };
// The "Space" item of the Separator menu carries no code: it puts in a blank.
const UINT kSpaceItem = 6060;

bool IsLetter(wchar_t c)
{
    return iswalpha(c) != 0;
}

} // namespace

CString CClockPage::SeparatedToken(const wchar_t* text, int start, int end, const wchar_t* code, BOOL autoSeparate)
{
    CString token = code;
    if (!autoSeparate || !text) return token;
    const int length = static_cast<int>(wcslen(text));
    if (start > 0 && start <= length) {
        const wchar_t before = text[start - 1];
        if (IsLetter(before) || before == L'@') token = L"~" + token;
    }
    if (end >= 0 && end < length) {
        const wchar_t after = text[end];
        if (IsLetter(after) || after == L'@' || after == L'#') token += L"~";
    }
    return token;
}

namespace {

// The label as format text that shows exactly as typed: its text in literals with every
// percent sign doubled, and each quote outside them as a doubled quote (a literal is
// closed, a quote put, and a literal opened again). A literal is never left empty: two
// quotes in a row read as one quote, so an empty literal would show a quote of its own.
CString LabelFormatText(const CString& label)
{
    CString out;
    bool inLiteral = false;
    for (int i = 0; i < label.GetLength(); ++i) {
        const wchar_t c = label[i];
        if (c == L'\'') {
            if (inLiteral) out += L'\'';
            inLiteral = false;
            out += L"''";
            continue;
        }
        if (!inLiteral) out += L'\'';
        inLiteral = true;
        if (c == L'%') out += L'%';
        out += c;
    }
    if (inLiteral) out += L'\'';
    return out;
}

} // namespace

CString CClockPage::ZoneToken(const wchar_t* label, int number, int room)
{
    CString bare;
    bare.Format(L"[#%03d]", number);
    const CString text = label ? label : L"";
    // The quoted text of a label's beginning grows with every character taken, so one walk
    // finds the longest beginning that fits. Round the quoted text the token has the bare
    // token's characters and the 3 of " - ".
    const int fixed = bare.GetLength() + 3;
    int keep = 0, quoted = 0;
    bool inLiteral = false;
    for (; keep < text.GetLength(); ++keep) {
        const wchar_t c = text[keep];
        int grown = quoted;
        bool literal = inLiteral;
        if (c == L'\'') {
            grown += 2;  // the literal's closing quote is counted already
            literal = false;
        } else {
            grown += (literal ? 1 : 3) + (c == L'%' ? 1 : 0);  // 3: a literal opened and closed
            literal = true;
        }
        if (fixed + grown > room) break;
        quoted = grown;
        inLiteral = literal;
    }
    if (keep == 0) return bare.GetLength() <= room ? bare : CString();
    CString token;
    token.Format(L"[%s - #%03d]", LabelFormatText(text.Left(keep)).GetString(), number);
    return token;
}

void CClockPage::InsertFormatToken(const wchar_t* code, BOOL autoSeparate)
{
    if (!code || !*code || !m_formatEdit.m_hWnd) return;
    int start = 0, end = 0;
    m_formatEdit.GetSel(start, end);
    const CString text = m_formatEdit.GetWindowText();
    const CString token = SeparatedToken(text, start, end, code, autoSeparate);
    // The edit would cut a longer insertion at its limit, and half a code (one quote of
    // "''") would swallow the rest of the display.
    if (text.GetLength() - (end - start) + token.GetLength() > kFormatLimit) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    m_formatEdit.ReplaceSel(token, TRUE);
    // A second code through a button goes after this one.
    m_formatEdit.GetSel(m_selStart, m_selEnd);
}

UINT CClockPage::TrackFormatMenu(UINT buttonId, int popupIndex, CMenuHandle& menu, HMENU* popup)
{
    menu.Reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_FORMAT_MENU)));
    *popup = menu ? GetSubMenu(menu, popupIndex) : nullptr;
    if (!*popup) return 0;
    RECT button{};
    ::GetWindowRect(GetDlgItem(static_cast<int>(buttonId)), &button);
    return static_cast<UINT>(TrackPopupMenu(*popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                            button.left, button.bottom, 0, m_hWnd, nullptr));
}

void CClockPage::OnFormatMenu(UINT buttonId)
{
    const int popupIndex = buttonId == IDC_DATE ? kDatePopup
                         : buttonId == IDC_TIME ? kTimePopup
                         : buttonId == IDC_SAMPLES ? kSamplesPopup : kSeparatorPopup;
    CMenuHandle menu;
    HMENU popup = nullptr;
    const UINT command = TrackFormatMenu(buttonId, popupIndex, menu, &popup);
    if (!command) return;
    if (command == kSpaceItem) {
        InsertFormatToken(L" ", TRUE);
        return;
    }
    wchar_t item[128] = L"";
    GetMenuStringW(popup, command, item, static_cast<int>(std::size(item)), MF_BYCOMMAND);
    if (const wchar_t* tab = wcschr(item, L'\t')) InsertFormatToken(tab + 1, TRUE);
}

void CClockPage::OnAlignmentMenu()
{
    CMenuHandle menu;
    HMENU popup = nullptr;
    const UINT command = TrackFormatMenu(IDC_ALIGNMENT, kAlignmentPopup, menu, &popup);
    if (!command) return;
    m_alignment = command == ID_ALIGN_RIGHT ? 1 : command == ID_ALIGN_CENTRED ? 2 : 0;
    m_alignmentButton.SetImageIndex(m_alignment);
    m_alignmentButton.Invalidate();
    if (CDigitClock* clock = Clock()) clock->SetAlignment(m_alignment);
    m_modified = TRUE;
}

void CClockPage::OnTimeZone()
{
    // The selection goes, the caret stays: the token goes where the caret is.
    m_formatEdit.SendMessage(EM_SETSEL, static_cast<WPARAM>(-1), 0);
    m_formatEdit.SendMessage(EM_SCROLLCARET);
    CAddTimeZoneDlg dlg(m_hWnd);
    if (dlg.DoModal() != IDOK) return;
    int start = 0, end = 0;
    m_formatEdit.GetSel(start, end);
    const CString text = m_formatEdit.GetWindowText();
    // Room for the token and the two hidden separators it may get.
    const int room = kFormatLimit - (text.GetLength() - (end - start)) -
                     (SeparatedToken(text, start, end, L"[", TRUE).GetLength() - 1);
    const CString token = ZoneToken(dlg.m_label, dlg.m_number, room);
    if (token.IsEmpty()) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    InsertFormatToken(token, TRUE);
}
