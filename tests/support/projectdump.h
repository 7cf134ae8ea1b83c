#pragma once

// A project as text for comparing two of them: names, numbers and links, each link list as a
// set (its order means nothing to a file that reads back).

#include <algorithm>
#include <string>
#include <vector>

#include "core/model/project.h"

namespace orm::test {

inline std::string DumpProject(TMainTreeList& project)
{
    std::string out = std::string(project.Name()) + "\n";
    project.ForEachPreOrder([&out](TTreeList* node, const std::string& number, int) {
        out += number + " " + std::string(node->Name());
        std::vector<std::string> links;
        for (TTreeList* other : node->Links())
            links.push_back(other->Number());
        std::sort(links.begin(), links.end());
        for (const auto& link : links)
            out += " ~" + link;
        out += "\n";
    });
    return out;
}

}  // namespace orm::test
