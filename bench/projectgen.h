#pragma once

// Generates large projects for the benchmarks: items spread over the four classifiers in trees
// up to five levels deep with some very wide levels, and about as many links as items between
// items of classifiers 1-3 and structural units.

#include <memory>

#include "core/model/project.h"

namespace orm::bench {

std::unique_ptr<TMainTreeList> GenerateProject(int items, unsigned seed = 1);

}  // namespace orm::bench
