// Conversions between the program's wide (UTF-16) text and the narrow texts that come from
// and go to the network, files, the log and some system calls. Every converter returns a
// new value, stops at the first terminator of its result and gives an empty text for a
// null input or anything the system cannot convert.
#pragma once

#include "ClassLib.h"

#include <string>

CString AnsiToWide(const char* text);
CString MultiByteToWide(const char* text, UINT codePage);
std::wstring StdAnsiToWide(const std::string& text);
// limit -1: the whole text; otherwise at most limit wide characters.
CString Utf8ToWide(const char* text, int limit);
CString Utf8ToWideAll(const char* text);
// Characters the ANSI code page lacks become its default character.
CStringA WideToAnsi(const wchar_t* text);
CStringA WideToUtf8(const wchar_t* text);

// Lower-cases in place by the system's locale-aware tables.
void StringToLower(CString& text);

// A number typed into a numbers-only edit: its digits up to the first other character, read
// as an unsigned value that stops at 4,294,967,295 instead of wrapping round.
unsigned ReadTypedUnsigned(const wchar_t* text);
