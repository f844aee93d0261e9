// The one thread the plug-in is called from: jobs run in the order posted,
// one at a time, so that queries never run concurrently.
#ifndef SYVHOST_WBEM_QUERYTHREAD_H
#define SYVHOST_WBEM_QUERYTHREAD_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace syv {
namespace wbem {

class QueryThread {
public:
    QueryThread();
    // Finishes.
    ~QueryThread();
    QueryThread(const QueryThread&) = delete;
    QueryThread& operator=(const QueryThread&) = delete;

    // From any thread. A job's exceptions are its own to handle: one that
    // escapes ends the process, as from any thread.
    void Post(std::function<void()> job);

    // Runs the jobs posted so far, then ends the thread and waits for it.
    void Finish();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> jobs_;
    bool finishing_ = false;
    std::thread thread_;
};

}  // namespace wbem
}  // namespace syv

#endif
