#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    kantor::cli::Args args(argv + 1, argv + argc);
    return kantor::cli::run(args, std::cout, std::cerr);
}
