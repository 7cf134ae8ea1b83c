#include "format/gdifont.h"

#include <gtest/gtest.h>

#include <QStringList>

// Font resolution and text decoding of the metafile players.

namespace orm::gdi {
namespace {

TEST(GdiFont, AliasesNameTheCharacterSetAndTwinsStandIn)
{
    LogFont lf;
    lf.face = QStringLiteral(" Arial Cyr ");
    lf.charSet = kAnsiCharSet;
    quint8 charSet = 0;
    QFont font = ResolveFont(lf, &charSet);
    EXPECT_EQ(charSet, kRussianCharSet);
    EXPECT_EQ(font.families(), QStringList({"Arial", "Liberation Sans"}));

    // A face that is only the suffix is a face, and a font that names its set keeps it.
    lf.face = QStringLiteral(" CE");
    lf.charSet = 161;
    font = ResolveFont(lf, &charSet);
    EXPECT_EQ(charSet, 161);
    EXPECT_EQ(font.families(), QStringList({"CE"}));

    // Without a face, the pitch decides; with a face, it does not.
    lf = LogFont();
    lf.pitchAndFamily = 1;  // FIXED_PITCH
    font = ResolveFont(lf, &charSet);
    EXPECT_EQ(font.families(), QStringList({"Liberation Mono"}));
    lf.face = QStringLiteral("Times New Roman");
    font = ResolveFont(lf, &charSet);
    EXPECT_EQ(font.families(), QStringList({"Times New Roman", "Liberation Serif"}));
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
}

TEST(GdiFont, StyleComesFromTheLogFont)
{
    LogFont lf;
    lf.weight = 5000;
    lf.italic = lf.underline = lf.strikeOut = true;
    lf.quality = kNonAntialiasedQuality;
    quint8 charSet = 0;
    const QFont font = ResolveFont(lf, &charSet);
    EXPECT_EQ(font.weight(), 1000);
    EXPECT_TRUE(font.italic() && font.underline() && font.strikeOut());
    EXPECT_EQ(font.styleStrategy(), QFont::NoAntialias);
    lf = LogFont();  // weight 0: normal
    EXPECT_EQ(ResolveFont(lf, &charSet).weight(), QFont::Normal);
}

TEST(GdiFont, TextIsDecodedByItsCharacterSet)
{
    const QByteArray bytes("\x80\xC0\xE9", 3);
    EXPECT_EQ(DecodeText(bytes, kRussianCharSet), QStringLiteral("ЂАй"));
    EXPECT_EQ(DecodeText(bytes, kDefaultCharSet), QStringLiteral("ЂАй"));
    EXPECT_EQ(DecodeText(bytes, kAnsiCharSet), QStringLiteral("€Àé"));
    EXPECT_EQ(DecodeText(QByteArray("\xE1", 1), 161), QStringLiteral("α"));  // Greek
    EXPECT_EQ(DecodeText(bytes, kSymbolCharSet), QString::fromLatin1(bytes));
    EXPECT_EQ(DecodeText(QByteArray("\x81", 1), kAnsiCharSet), QString(QChar(0x81)));
}

TEST(GdiFont, CellToEmIsMeasuredOncePerFace)
{
    CellToEm cellToEm;
    QFont font(QStringLiteral("Liberation Sans"));
    const double ratio = cellToEm(font);
    EXPECT_GT(ratio, 0.5);
    EXPECT_LE(ratio, 1.0);  // the cell holds the em
    font.setPixelSize(77);  // the size does not matter
    EXPECT_EQ(cellToEm(font), ratio);
}

}  // namespace
}  // namespace orm::gdi
