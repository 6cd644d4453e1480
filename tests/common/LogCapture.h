// A program log of the test's own in a temporary file, registered as the application's log
// while it lives, so a test can read back what the code under test wrote.
#pragma once

#include "Log/LogMan.h"

#include <string>
#include <vector>

class LogCapture
{
public:
    explicit LogCapture(ULONGLONG sizeLimit = 1 << 20);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything written so far (UTF-8 bytes, as written).
    std::string Text();
    // What was written since the last Take.
    std::string Take();
    // The entries written so far (one text line each), at every level or at one mark
    // (" * " error, " W " warning, " - " info).
    std::vector<std::string> Entries(const char* mark = nullptr);
    // The text of each entry at one mark: without its thread letter, time stamp, mark and
    // source, and without the " - " that a long entry ends in before its source.
    std::vector<std::string> Texts(const char* mark);

private:
    CLogMan m_log;
    std::wstring m_path;
    size_t m_taken = 0;
};
