#include <gtest/gtest.h>

#include <QStringDecoder>

#include "core/model/cp1251.h"
#include "format/textcodec.h"

using namespace orm;

// ICU's decoder is the oracle for the table codec; 0x98 is the one byte Windows leaves
// undefined, mapped like ICU to U+0098 so that every byte survives.
TEST(TextCodec, TableMatchesIcu)
{
    QStringDecoder icu("windows-1251");
    ASSERT_TRUE(icu.isValid());
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString expected = icu.decode(QByteArrayView(&byte, 1));
        EXPECT_EQ(FromCp1251(std::string(1, byte)), expected) << "byte " << b;
    }
}

TEST(TextCodec, UnrepresentableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QStringLiteral("a☃b")), "a?b");
    EXPECT_EQ(Cp1251Representable(QStringLiteral("Ёж é 😀 №")), QStringLiteral("Ёж ? ? №"));
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCp1251(FromCp1251(all)), all);
}
