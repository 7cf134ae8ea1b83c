#include <gtest/gtest.h>

#include "core/settings/picturetype.h"

namespace orm {
namespace {

TEST(PictureType, FirstThreeCharactersOfTheExtension)
{
    EXPECT_EQ(PictureTypeOf("/pics/logo.bmp"), PictureType::Bmp);
    EXPECT_EQ(PictureTypeOf("/pics/logo.Ico"), PictureType::Ico);
    EXPECT_EQ(PictureTypeOf("/pics/logo.WMF"), PictureType::Wmf);
    EXPECT_EQ(PictureTypeOf("/pics/logo.emf"), PictureType::Emf);
    EXPECT_EQ(PictureTypeOf("/pics/logo.bmpx"), PictureType::Bmp);
    EXPECT_EQ(PictureTypeOf("/pics/logo.emf+"), PictureType::Emf);
    EXPECT_EQ(PictureTypeOf("/pics/logo.old.wmf"), PictureType::Wmf);
    EXPECT_EQ(PictureTypeOf("/pics/logo.bm"), PictureType::Unknown);
    EXPECT_EQ(PictureTypeOf("/pics/logo.png"), PictureType::Unknown);
    EXPECT_EQ(PictureTypeOf("/pics/logo. bmp"), PictureType::Unknown);
}

TEST(PictureType, OnlyTheFileNameHasAnExtension)
{
    EXPECT_EQ(PictureTypeOf("/pics.bmp/logo"), PictureType::Unknown);
    EXPECT_EQ(PictureTypeOf("C:\\pics.bmp\\logo"), PictureType::Unknown);
    EXPECT_EQ(PictureTypeOf("/pics/.ico"), PictureType::Ico);
    EXPECT_EQ(PictureTypeOf(""), PictureType::Unknown);
}

TEST(PictureType, TypeNameWhenTheExtensionSaysNothing)
{
    EXPECT_EQ(PictureTypeOf("/pics/logo", "emf"), PictureType::Emf);
    EXPECT_EQ(PictureTypeOf("/pics/logo.png", "Bmp"), PictureType::Bmp);
    // The extension wins over the type name.
    EXPECT_EQ(PictureTypeOf("/pics/logo.wmf", "BMP"), PictureType::Wmf);
    // The type name is compared whole, not by its first three characters.
    EXPECT_EQ(PictureTypeOf("/pics/logo", "BMPX"), PictureType::Unknown);
    EXPECT_EQ(PictureTypeOf("/pics/logo", "PNG"), PictureType::Unknown);
}

}  // namespace
}  // namespace orm
