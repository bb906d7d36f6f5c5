#pragma once
// Lets a test make the next non-throwing array allocation fail.

namespace allocationhook {
// The next `new (std::nothrow) T[n]` answers null; later ones succeed again.
void failNextNothrowArray();
} // namespace allocationhook
