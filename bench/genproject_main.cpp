// ormelit-genproject ITEMS OUT [SEED]: writes a generated project file.

#include <cstdlib>
#include <iostream>

#include "projectgen.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "Usage: ormelit-genproject ITEMS OUT [SEED]\n";
        return 1;
    }
    const int items = std::atoi(argv[1]);
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1;
    auto project = orm::bench::GenerateProject(items, seed);
    project->SetFileName(argv[2]);
    std::string error;
    if (!project->WriteProjectFile(&error)) {
        std::cerr << "cannot write " << argv[2] << ": " << error << "\n";
        return 4;
    }
    return 0;
}
