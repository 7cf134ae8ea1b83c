#include "projectgen.h"

#include <random>
#include <vector>

namespace orm::bench {

std::unique_ptr<TMainTreeList> GenerateProject(int items, unsigned seed)
{
    auto project = std::make_unique<TMainTreeList>();
    project->SetName("Generated " + std::to_string(items));
    std::mt19937 rng(seed);
    std::vector<std::vector<TTreeList*>> itemsOf(5);
    for (int k = 1; k <= 4; ++k) {
        TTreeList* tree = project->TreeByIndex(k);
        // Nodes that may still take children (depth below five).
        std::vector<TTreeList*> open{tree};
        TTreeList* wide = nullptr;
        const int count = items / 4 + (k <= items % 4 ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            TTreeList* parent;
            const unsigned roll = rng() % 100;
            if (roll < 5 || open.size() == 1)
                parent = tree;
            else if (roll < 25 && wide)
                parent = wide;  // one very wide level per classifier
            else
                parent = open[rng() % open.size()];
            TTreeList* item = parent->AddChild("Item " + std::to_string(k) + "/" +
                                               std::to_string(i) + " of a generated classifier");
            if (!wide && item->Level() == 3)
                wide = item;
            if (item->Level() < 6)
                open.push_back(item);
            itemsOf[k].push_back(item);
        }
    }
    if (!itemsOf[4].empty()) {
        for (int i = 0; i < items; ++i) {
            const int k = 1 + static_cast<int>(rng() % 3);
            if (itemsOf[k].empty())
                continue;
            TTreeList* a = itemsOf[k][rng() % itemsOf[k].size()];
            TTreeList* b = itemsOf[4][rng() % itemsOf[4].size()];
            if (!a->IsLinkedWith(b))
                a->Link(b);
        }
    }
    project->SetModified(false);
    return project;
}

}  // namespace orm::bench
