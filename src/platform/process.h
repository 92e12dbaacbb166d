#pragma once
// Starting other programs, never through a shell.

#include <string>
#include <vector>

namespace vistrel {

// Starts args[0] (searched on PATH) with the argument vector; does not wait for it.
// True when the process was created.
bool spawn_process(const std::vector<std::string>& args);

// Starts the program and waits for it; returns its exit status, or -1 when it could not
// be started or did not exit normally.
int run_process(const std::vector<std::string>& args);

}  // namespace vistrel
