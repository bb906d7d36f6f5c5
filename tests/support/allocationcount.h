#pragma once
// Test programs that link this replace the global allocation functions: every allocation on
// every thread is counted, and a test can refuse allocations for a while or make the next
// non-throwing array allocation fail.

#include <cstddef>

namespace allocationcount {

// Allocations asked for since the counter was made, on every thread (refused ones included), and
// the bytes they asked for.
class Counter {
public:
    Counter();
    std::size_t allocations() const;
    std::size_t bytes() const;

private:
    std::size_t allocations_;
    std::size_t bytes_;
};

// While a Refusal lives every allocation fails: the throwing forms throw std::bad_alloc and the
// non-throwing ones answer null. Refusals do not nest.
class Refusal {
public:
    Refusal();
    ~Refusal();
    Refusal(const Refusal&) = delete;
    Refusal& operator=(const Refusal&) = delete;
};

// The next `new (std::nothrow) T[n]` answers null; later ones succeed again.
void failNextNothrowArray();

} // namespace allocationcount
