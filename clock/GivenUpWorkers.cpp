#include "GivenUpWorkers.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

struct GivenUp {
    CHandle worker;
    CString what;
};

struct GivenUpList {
    std::mutex lock;
    std::vector<GivenUp> workers;
    std::vector<CString> registered;
};

// Never destroyed: a worker may still be given up while the static objects go.
GivenUpList& List()
{
    static GivenUpList* list = new GivenUpList;
    return *list;
}

bool HasEnded(HANDLE worker)
{
    return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
}

void Name(CString* pending, const CString& what)
{
    if (!pending) return;
    if (!pending->IsEmpty()) *pending += L", ";
    *pending += what;
}

}  // namespace

void GiveUpWorker(CHandle worker, const wchar_t* what)
{
    GivenUpList& list = List();
    std::lock_guard<std::mutex> hold(list.lock);
    // Those that have ended meanwhile go, so a long run keeps no handles of them.
    std::vector<GivenUp>& workers = list.workers;
    for (auto it = workers.begin(); it != workers.end();)
        it = HasEnded(it->worker) ? workers.erase(it) : it + 1;
    workers.push_back({std::move(worker), CString(what)});
}

void ReportStillRegistered(const wchar_t* what)
{
    GivenUpList& list = List();
    std::lock_guard<std::mutex> hold(list.lock);
    list.registered.emplace_back(what);
}

bool WaitForGivenUpWorkers(DWORD waitMs, CString* pending)
{
    GivenUpList& list = List();
    // Taken out for the wait, so that nobody who gives a worker up meanwhile waits with us.
    std::vector<GivenUp> workers;
    {
        std::lock_guard<std::mutex> hold(list.lock);
        workers.swap(list.workers);
    }
    const DWORD start = GetTickCount();
    std::vector<GivenUp> running;
    for (GivenUp& w : workers) {
        const DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(w.worker, spent < waitMs ? waitMs - spent : 0) != WAIT_OBJECT_0)
            running.push_back(std::move(w));
    }
    if (pending) pending->Empty();
    std::lock_guard<std::mutex> hold(list.lock);
    for (GivenUp& w : running) {
        Name(pending, w.what);
        list.workers.push_back(std::move(w));
    }
    for (const CString& what : list.registered) Name(pending, what);
    return running.empty() && list.registered.empty();
}
