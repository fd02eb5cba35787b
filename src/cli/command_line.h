#pragma once

namespace sayvell::app::cli {

// The program started with arguments: no window, no display, no single-instance lock.
// Returns the exit code: 0 success, 1 a runtime failure, 2 bad usage (130 after Ctrl+C).
int runCommandLine(int argc, char** argv);

}  // namespace sayvell::app::cli
