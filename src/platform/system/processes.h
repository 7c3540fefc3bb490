// The processes of this machine: this process's identifier and host name,
// and whether a process of a given identifier is still running. What a run
// needs to tell its own leftovers (staging folders named after the process
// that made them) from those of a process that has ended.
#pragma once

#include <cstdint>
#include <string>

namespace norvexa::sys {

// The identifier of this process (greater than 0).
std::int64_t CurrentProcessId();

// This machine's host name, as the system gives it; "localhost" when the
// system gives none. Used to keep apart the leftovers of processes of other
// machines that share a folder.
std::string CurrentHostName();

// True when a process with identifier PID exists on this machine (also when
// it belongs to another user, or is a zombie not yet reaped). False for a
// PID of 0 or less, or one that no process has. Never throws.
bool ProcessExists(std::int64_t pid);

}  // namespace norvexa::sys
