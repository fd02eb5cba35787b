#include "app/startup.h"
#include "cli/command_line.h"

// No arguments: the window. Anything else is the command line, which needs no display.
int main(int argc, char** argv) {
    if (argc > 1) return sayvell::app::cli::runCommandLine(argc, argv);
    return sayvell::app::runSayvell(argc, argv);
}
