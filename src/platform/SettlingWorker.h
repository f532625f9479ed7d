#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

// A thread of its own that works for the UI thread while the user types. The
// requests that come while it works or waits are merged into one waiting request
// (each caller changes it), and the work on it starts once the requests have
// settled for a moment: 10 ms, so that the edit worker's pass and the outline go
// first; or, when the last piece of work held the document-model lock more than
// 4 ms (a file of megabytes), a pause in the typing of 400 ms; and at the
// latest after 2 s, so that someone who types on and on still gets results. It
// runs at a lower priority than the program's other threads.
template <typename Request> class SettlingWorker
{
public:
    // Starts the thread, named so that a list of the process's threads tells it
    // (at most 15 characters), to call work with each merged request.
    SettlingWorker(const char *name, std::function<void(Request)> work)
        : _work(std::move(work))
        , _thread([this, name] { main(name); })
    {}

    // Waits for the work under way; a request still waiting is dropped.
    ~SettlingWorker()
    {
        {
            std::lock_guard lock(_lock);
            _stopping = true;
        }
        _changed.notify_all();
        _thread.join();
    }

    SettlingWorker(const SettlingWorker &) = delete;
    SettlingWorker &operator=(const SettlingWorker &) = delete;

    // Any thread but the worker's: changes the waiting request, and wakes the worker.
    void request(const std::function<void(Request &)> &change)
    {
        {
            std::lock_guard lock(_lock);
            change(_waiting);
            _pending = true;
            ++_requests;
        }
        _changed.notify_all();
    }

    // Blocks until every request made so far has been worked on.
    void waitUntilIdle()
    {
        std::unique_lock lock(_lock);
        _changed.wait(lock, [this] { return !_pending && !_working; });
    }

    // The worker's thread: how long the work held the document-model lock at most.
    void setLongestHold(std::chrono::microseconds hold) { _longestHold = hold; }
    std::chrono::microseconds longestHold() const { return _longestHold; }

private:
    void main(const char *name)
    {
        pthread_setname_np(pthread_self(), name);
        // Work the user waits for less than the typing: on Linux a thread has a
        // niceness of its own, and the UI thread and the edit worker go first.
        setpriority(PRIO_PROCESS, pid_t(gettid()), 5);
        using namespace std::chrono_literals;
        for (;;) {
            Request request;
            {
                std::unique_lock lock(_lock);
                _changed.wait(lock, [this] { return _stopping || _pending; });
                const auto settle = _longestHold.load() > 4ms ? 400ms : 10ms;
                const auto latest = std::chrono::steady_clock::now() + 2s;
                for (quint64 seen = _requests; !_stopping;) {
                    _changed.wait_for(lock, settle,
                                      [this, seen] { return _stopping || _requests != seen; });
                    if (_requests == seen || std::chrono::steady_clock::now() >= latest)
                        break;
                    seen = _requests;
                }
                if (_stopping)
                    return;
                std::swap(request, _waiting);
                _pending = false;
                _working = true;
            }
            _work(std::move(request));
            {
                std::lock_guard lock(_lock);
                _working = false;
            }
            _changed.notify_all();
        }
    }

    const std::function<void(Request)> _work;
    std::mutex _lock;
    std::condition_variable _changed;
    Request _waiting;       // guarded by _lock
    bool _pending = false;  // guarded by _lock
    bool _working = false;  // guarded by _lock
    bool _stopping = false; // guarded by _lock
    quint64 _requests = 0;  // guarded by _lock; one more with each request
    std::atomic<std::chrono::microseconds> _longestHold{};
    std::thread _thread; // last: started once the rest is there
};
