#include "core/settings/picturetype.h"

#include <string>

namespace orm {

namespace {

PictureType typeNamed(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    if (upper == "BMP")
        return PictureType::Bmp;
    if (upper == "ICO")
        return PictureType::Ico;
    if (upper == "WMF")
        return PictureType::Wmf;
    if (upper == "EMF")
        return PictureType::Emf;
    return PictureType::Unknown;
}

}  // namespace

PictureType PictureTypeOf(std::string_view fileName, std::string_view typeName)
{
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::string_view name =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        const PictureType byExtension = typeNamed(name.substr(dot + 1, 3));
        if (byExtension != PictureType::Unknown)
            return byExtension;
    }
    return typeNamed(typeName);
}

}  // namespace orm
