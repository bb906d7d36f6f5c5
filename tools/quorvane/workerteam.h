#pragma once
// A fixed team of threads for work that splits into independent lanes. The calling thread
// works too; lane i always runs on the same thread, so each lane's state stays with one thread
// from one round to the next.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane::cli {

class WorkerTeam {
public:
    // threads in all, the caller included; 1 starts no thread.
    explicit WorkerTeam(int threads);
    ~WorkerTeam();
    WorkerTeam(const WorkerTeam&) = delete;
    WorkerTeam& operator=(const WorkerTeam&) = delete;

    int threads() const { return static_cast<int>(helpers_.size()) + 1; }
    // Runs lane(0) .. lane(lanes - 1), lane i on thread i % threads(), and returns when all
    // are done. lane must not throw.
    void run(int lanes, const std::function<void(int)>& lane);

private:
    void help(int member);
    void runShare(int member);

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    uint64_t round_ = 0;
    int busy_ = 0;
    bool stopping_ = false;
    int lanes_ = 0;
    const std::function<void(int)>* lane_ = nullptr;
};

} // namespace quorvane::cli
