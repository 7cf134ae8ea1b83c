#include <gtest/gtest.h>

#include <QStringDecoder>

#include "core/text/cp1251.h"
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

// A text file is UTF-8 when its bytes are, but for a few stray ones; Windows-1251 text, which
// has stray bytes to nearly every sequence, is never taken for it.
TEST(TextCodec, TextFilesAreUtf8DespiteAFewStrayBytes)
{
    using Encoding = TextFileDecoding::Encoding;
    auto U = [](const char* utf8) { return QString::fromUtf8(utf8); };
    const std::string russian = "Положение об отделе закупок, пункт первый.\r\n";
    std::string long8;
    for (int k = 0; k < 4; ++k)
        long8 += russian;
    struct Case {
        const char* name;
        std::string bytes;
        Encoding encoding;
        int replaced;
        QString text;
    };
    const Case cases[] = {
        {"UTF-8", russian, Encoding::Utf8, 0, QString::fromUtf8(russian)},
        {"one stray byte", long8 + ToCp1251(std::string("ё")), Encoding::Utf8, 1,
         QString::fromUtf8(long8) + QChar(0xFFFD)},
        {"a sequence cut short", "\xD0\x9F\xD1" + long8, Encoding::Utf8, 1,
         U("П\uFFFD") + QString::fromUtf8(long8)},
        {"Windows-1251", ToCp1251(long8), Encoding::Cp1251, 0, QString::fromUtf8(long8)},
        {"Windows-1251 with a valid pair", ToCp1251(std::string("Ёлка")) + "\xC3\xA9", Encoding::Cp1251, 0,
         U("ЁлкаГ©")},
        {"ASCII", "plain", Encoding::Cp1251, 0, U("plain")},
        {"UTF-8 after its mark, a stray byte", "\xEF\xBB\xBF" "a\xFF", Encoding::Utf8, 1,
         U("a\uFFFD")},
        {"UTF-16", std::string("\xFF\xFE" "A\0", 4), Encoding::Utf16, 0, U("A")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextFileDecoding how;
        EXPECT_EQ(DecodeTextFile(c.bytes, &how), c.text);
        EXPECT_EQ(how.encoding, c.encoding);
        EXPECT_EQ(how.replaced, c.replaced);
    }
}
