#pragma once

// Which kind of picture a file holds, judged the way users name their files: by the first three
// characters of the extension, or by a type name given with it.

#include <string_view>

namespace orm {

enum class PictureType { Unknown, Bmp, Ico, Wmf, Emf };

// The type of fileName (a path; only the name after the last "/" or "\" counts): the first three
// characters after the last dot, in upper case, compared exactly with BMP, ICO, WMF and EMF. When
// none matches, typeName in upper case is compared with the same four.
PictureType PictureTypeOf(std::string_view fileName, std::string_view typeName = {});

}  // namespace orm
