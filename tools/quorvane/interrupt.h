#pragma once
// Interrupts (Ctrl-C, termination) are turned into a flag that long loops poll, so that they
// unwind and remove their temporary files instead of dying half-way.

namespace quorvane::cli {

// Catches SIGINT, SIGTERM and SIGHUP from here on.
void installInterruptHandlers();
// True once one of those signals arrived.
bool interrupted();
// Throws the interrupted ToolError when a signal arrived.
void throwIfInterrupted();

} // namespace quorvane::cli
