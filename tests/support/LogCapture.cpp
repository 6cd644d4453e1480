#include "LogCapture.h"

#include <cstdio>
#include <sstream>

LogCapture::LogCapture()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    wchar_t name[MAX_PATH] = {};
    GetTempFileNameW(folder, L"zsl", 0, name);
    m_path = name;
    m_log.OpenFile(m_path.c_str(), L'-', FALSE, 0, 1 << 20);
    SetAppLogMan(&m_log);
}

LogCapture::~LogCapture()
{
    SetAppLogMan(nullptr);
    m_log.Close();
    DeleteFileW(m_path.c_str());
}

std::vector<std::string> LogCapture::Entries(const char* mark)
{
    m_log.Flush();
    std::vector<std::string> out;
    FILE* f = _wfopen(m_path.c_str(), L"rb");
    if (!f) return out;
    std::string all;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof(chunk), f)) > 0;) all.append(chunk, n);
    fclose(f);
    std::istringstream in(all);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] != '[') continue;  // continuation lines of one entry
        if (!mark || line.find(mark) != std::string::npos) out.push_back(line);
    }
    return out;
}
