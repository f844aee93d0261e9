#include "QueryThread.h"

#include <utility>

namespace syv {
namespace wbem {

QueryThread::QueryThread() : thread_([this]() { Run(); }) {}

QueryThread::~QueryThread() { Finish(); }

void QueryThread::Post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    posted_.notify_one();
}

void QueryThread::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    posted_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void QueryThread::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            posted_.wait(lock, [this]() { return finishing_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace wbem
}  // namespace syv
