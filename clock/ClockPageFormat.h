// The Clock page's display-format builder: the codes it puts into the format edit, with
// the hidden separators round them, and the further-zone token.
#pragma once

#include "ClassLib.h"

// The code with a hidden separator "~" before it when the character before the selection
// is a letter or "@", and after it when the character at its end is a letter, "@" or "#"
// (autoSeparate set).
CString SeparatedToken(const wchar_t* text, int start, int end, const wchar_t* code, BOOL autoSeparate);
// A further zone's token: "['label' - #NNN]", or "[#NNN]" without a label. The label is put
// in so that it shows as typed (a quote inside it becomes '''', a percent sign %%), cut to
// whole characters so that the token is at most room characters; empty when even the bare
// token is longer.
CString ZoneToken(const wchar_t* label, int number, int room);
