// GDI+ started once around all tests of a program that draws with it:
//   testing::AddGlobalTestEnvironment(new GdiplusSession);
#pragma once

#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

class GdiplusSession : public testing::Environment
{
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
