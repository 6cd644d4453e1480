// A program log of the test's own, registered as the application's log while it lives, so
// a test can count the entries the code under test wrote.
#pragma once

#include "Log/LogMan.h"

#include <string>
#include <vector>

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    // The entries written so far (one text line each), at every level or at one mark
    // (" * " error, " W " warning, " - " info).
    std::vector<std::string> Entries(const char* mark = nullptr);

private:
    CLogMan m_log;
    std::wstring m_path;
};
