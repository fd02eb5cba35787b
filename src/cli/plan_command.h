#pragma once

namespace sayvell::app::cli {

// `sayvell plan run|next|log|export|import|holidays ...`; argv[1] is "plan". Returns the exit
// code: 0 success, 1 a runtime failure, 2 bad usage.
int runPlanCommand(int argc, char** argv);

}  // namespace sayvell::app::cli
