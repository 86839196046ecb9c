#include "cli_program.h"

int main(int argc, char** argv) { return cofralin::cli::RunCli(argc, argv); }
