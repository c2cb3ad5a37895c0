#include "cli/cli_app.h"

int main(int argc, char** argv) {
    return harlox::cli::runCommandLine(argc, argv);
}
