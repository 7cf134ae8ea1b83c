// The RTF reader on documents of extreme shape and on the special characters our writer writes
// as control symbols: what the writer writes, the reader reads back.

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "format/rtfreader.h"
#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

TEST(RtfShapes, ControlSymbolsReadAsTheCharactersTheWriterWritesThemFor)
{
    // Non-breaking space, optional (soft) hyphen, non-breaking hyphen.
    const auto doc = ReadDocument("{\\rtf1\\ansi a\\~b\\-c\\_d\\par}");
    const QString text = QStringLiteral("a\u00A0b\u00ADc\u2011d");
    EXPECT_EQ(TopTexts(*doc)[0], text);
    const std::string written = WriteRtf(*doc);
    const auto again = ReadDocument(written);
    EXPECT_EQ(TopTexts(*again)[0], text) << written;
}

TEST(RtfShapes, OneParagraphOfManyRunsKeepsEveryRunsFormat)
{
    // Once quadratic: every run laid the document out again.
    std::string body = "{\\rtf1\\ansi\\pard ";
    for (int i = 0; i < 4000; ++i)
        body += "{\\b ab}{\\i cd}";
    body += "\\par}";
    const auto doc = ReadDocument(body);
    const QTextBlock block = doc->begin();
    ASSERT_EQ(block.text().size(), 16000);
    int bold = 0;
    int italic = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        EXPECT_NE(f.charFormat().fontWeight() == QFont::Bold, f.charFormat().fontItalic());
        (f.charFormat().fontItalic() ? italic : bold) += f.length();
    }
    EXPECT_EQ(bold, 8000);
    EXPECT_EQ(italic, 8000);
    // Laid out once the load is over, the paragraph wraps into many lines.
    doc->setTextWidth(400);
    EXPECT_GT(doc->size().height(), 0);
    EXPECT_GT(block.layout()->lineCount(), 10);
}
