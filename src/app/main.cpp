#include "app/startup.h"

int main(int argc, char** argv) { return sayvell::app::runSayvell(argc, argv); }
