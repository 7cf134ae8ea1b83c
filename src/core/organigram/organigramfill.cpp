#include "core/organigram/organigramfill.h"

#include <string>

#include "core/model/treelist.h"

namespace orm {

namespace {

// Numbers are built from the parent's number instead of asking each child for its own, which
// would look every ancestor up in its sibling list.
std::string ChildNumber(const std::string& parentNumber, bool parentIsRoot, int index)
{
    const std::string position = std::to_string(index + 1);
    return parentIsRoot ? position : parentNumber + "." + position;
}

}  // namespace

void FillOrganigram(TDiagDataPrim& diagram, const TTreeList& item)
{
    const std::string number = item.Number();
    const bool isRoot = item.Parent() == nullptr;
    diagram.SetTop(number + " " + std::string(item.Name()));
    for (int i = 0; i < item.Count(); ++i) {
        const TTreeList* child = item.Child(i);
        const std::string childNumber = ChildNumber(number, isRoot, i);
        diagram.AddLevel1(childNumber + " " + std::string(child->Name()));
        for (int j = 0; j < child->Count(); ++j)
            diagram.AddLevel2(ChildNumber(childNumber, false, j) + " " + std::string(child->Child(j)->Name()));
    }
}

}  // namespace orm
