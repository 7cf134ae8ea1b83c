#include "core/help/extramenutarget.h"

#include "core/model/numbers.h"
#include "core/settings/profile.h"

namespace orm {

std::optional<MenuPlace> ResolveMenuPosition(std::string_view position,
                                             const ExtraMenuTarget& target)
{
    const int parts = ComponentCount(position);
    if (parts == 0)
        return std::nullopt;
    MenuPlace place;
    for (int i = 1; i < parts; ++i) {
        const int p = Component(position, i);  // -1 when not a decimal integer
        if (p < 1 || p > target.ItemCount(place.Path))
            return std::nullopt;
        place.Path.push_back(p - 1);
    }
    const int q = Component(position, parts);
    if (q < 1 || q - 1 > target.ItemCount(place.Path))
        return std::nullopt;
    place.Index = q - 1;
    return place;
}

int LoadExtraMenuEntries(ExtraMenuTarget& target, const std::string& settingsFile,
                         TProfile& profile)
{
    profile.SetFileName(settingsFile);
    profile.SetDefaultText("");
    int inserted = 0;
    for (int n = 1;; ++n) {
        profile.SetSection("EXTRAMENU" + std::to_string(n));
        profile.SetEntry("NAME");
        ExtraMenuEntry entry;
        entry.Name = profile.Text();
        if (entry.Name.empty())
            break;
        profile.SetEntry("POSITION");
        const std::string position = profile.Text();
        if (position.empty())
            continue;
        const std::optional<MenuPlace> place = ResolveMenuPosition(position, target);
        if (!place)
            continue;
        profile.SetEntry("FILE");
        entry.File = profile.Text();
        profile.SetEntry("PARAM");
        entry.Param = profile.Text();
        profile.SetEntry("CATALOG");
        entry.Catalog = profile.Text();
        target.Insert(place->Path, place->Index, entry);
        ++inserted;
    }
    return inserted;
}

}  // namespace orm
