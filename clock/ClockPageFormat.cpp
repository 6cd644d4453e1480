#include "ClockPageFormat.h"

#include <cwctype>

namespace {

bool IsLetter(wchar_t c)
{
    return iswalpha(c) != 0;
}

} // namespace

CString SeparatedToken(const wchar_t* text, int start, int end, const wchar_t* code, BOOL autoSeparate)
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

CString ZoneToken(const wchar_t* label, int number, int room)
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
