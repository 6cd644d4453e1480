// The tests' Simple MAPI recorder as the machine's mail program: registered as the
// "Microsoft Outlook" client (what the clock's MAPI test looks for) and as the default
// client that Wine's MAPI32 forwards to; removed again, and the old default client put
// back, when the object goes.
#pragma once

#include <string>

class RecorderRegistration
{
public:
    RecorderRegistration();
    ~RecorderRegistration();
    RecorderRegistration(const RecorderRegistration&) = delete;
    RecorderRegistration& operator=(const RecorderRegistration&) = delete;

    bool Registered() const { return m_registered; }
    void Remove();
    // The file the recorder writes each mail to (ZARNOCK_MAPI_RECORD), and what it holds.
    const std::wstring& RecordPath() const { return m_record; }
    std::string Mail() const;
    // Waits (bounded) until a whole mail has been written.
    std::string WaitForMail() const;

private:
    bool m_registered = false;
    std::wstring m_record;
    // The machine's default mail client before (Wine's own "Native Mail Client").
    bool m_hadDefault = false;
    std::wstring m_oldDefault;
};
