#include "workerteam.h"

#include <csignal>

#include <pthread.h>

namespace quorvane::cli {

WorkerTeam::WorkerTeam(int threads) {
    // Interrupts go to the main thread, which polls for them between rounds.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    for (int member = 1; member < threads; ++member)
        helpers_.emplace_back([this, member] { help(member); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

WorkerTeam::~WorkerTeam() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    started_.notify_all();
    for (std::thread& helper : helpers_)
        helper.join();
}

void WorkerTeam::run(int lanes, const std::function<void(int)>& lane) {
    if (helpers_.empty()) {
        for (int i = 0; i < lanes; ++i)
            lane(i);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lanes_ = lanes;
        lane_ = &lane;
        busy_ = static_cast<int>(helpers_.size());
        ++round_;
    }
    started_.notify_all();
    runShare(0);
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return busy_ == 0; });
    lane_ = nullptr;
}

void WorkerTeam::runShare(int member) {
    for (int i = member; i < lanes_; i += threads())
        (*lane_)(i);
}

void WorkerTeam::help(int member) {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        started_.wait(lock, [&] { return stopping_ || round_ != seen; });
        if (stopping_) return;
        seen = round_;
        lock.unlock();
        runShare(member);
        lock.lock();
        if (--busy_ == 0) finished_.notify_one();
    }
}

} // namespace quorvane::cli
