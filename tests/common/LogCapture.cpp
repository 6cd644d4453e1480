#include "LogCapture.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

LogCapture::LogCapture(ULONGLONG sizeLimit) : m_path(zntest::UniqueTempPath(L"zn_test_log"))
{
    EXPECT_EQ(S_OK, m_log.OpenFile(m_path.c_str(), L'-', FALSE, 0, sizeLimit));
    SetAppLogMan(&m_log);
}

LogCapture::~LogCapture()
{
    SetAppLogMan(nullptr);
    m_log.Close();
    DeleteFileW(m_path.c_str());
}

std::string LogCapture::Text()
{
    m_log.Flush();
    return zntest::ReadBytes(m_path);
}

std::string LogCapture::Take()
{
    std::string text = Text();
    std::string fresh = m_taken < text.size() ? text.substr(m_taken) : std::string();
    m_taken = text.size();
    return fresh;
}

std::vector<std::string> LogCapture::Entries(const char* mark)
{
    std::vector<std::string> out;
    std::istringstream in(Text());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] != '[') continue;  // continuation lines of one entry
        if (!mark || line.find(mark) != std::string::npos) out.push_back(line);
    }
    return out;
}

std::vector<std::string> LogCapture::Texts(const char* mark)
{
    std::vector<std::string> out;
    for (std::string line : Entries(mark)) {
        line = line.substr(24);
        line.erase(line.rfind(" ["));
        while (!line.empty() && (line.back() == ' ' || line.back() == '-')) line.pop_back();
        out.push_back(line);
    }
    return out;
}
