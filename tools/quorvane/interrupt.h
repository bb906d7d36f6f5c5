#pragma once
// Signals that would end the process (Ctrl-C, termination, hang-up, quit, alarms, the user
// signals) are turned into a flag that long loops poll, so that they unwind and remove their
// temporary files instead of dying half-way. A broken pipe and an exceeded file-size limit are
// ignored, so that the write that met them fails and is reported as an output error.

namespace quorvane::cli {

// Catches those signals from here on; a signal the process was started ignoring stays ignored.
void installInterruptHandlers();
// True once one of those signals arrived.
bool interrupted();
// Throws the interrupted ToolError when a signal arrived.
void throwIfInterrupted();

} // namespace quorvane::cli
