// CSntpModalHost: the owner of the SNTP client's window, told around the client's own
// message loop (the failure box): a close that arrives meanwhile must wait until the box
// has returned, or the client would be freed under it.
#pragma once

class CSntpModalHost
{
public:
    virtual void EnterModal() = 0;
    virtual void LeaveModal() = 0;

protected:
    ~CSntpModalHost() = default;
};
