#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // The process ends with the command: the system takes the project's memory back at once.
    orm::cli::LeaveProjectsToProcessExit(true);
    return orm::cli::Run(args, std::cout, std::cerr);
}
