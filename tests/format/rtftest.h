#pragma once

// Helpers of the RTF and viewer tests: documents written by the report writer, reading into a
// fresh QTextDocument, and the paragraphs and formats of the result.

#include <gtest/gtest.h>

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <memory>
#include <string>
#include <vector>

#include "core/report/reportwriter.h"
#include "core/text/cp1251.h"
#include "format/rtfdocument.h"
#include "format/rtfreader.h"

namespace orm::test {

struct StyledLine {
    ParaStyle Style;
    std::string Text;  // UTF-8
};

// A report document as the report writer makes it.
inline std::string ReportDocumentBytes(const std::vector<StyledLine>& lines, bool rtf = true)
{
    TReportWriter writer;
    writer.SetRtf(rtf);
    if (rtf)
        writer.WriteRtf(kRtfHead);
    for (const StyledLine& line : lines)
        writer.WriteLine(line.Style, ToCp1251(line.Text));
    if (rtf)
        writer.WriteRtf(kRtfTail);
    return writer.TakeOutput();
}

inline std::unique_ptr<QTextDocument> ReadDocument(std::string_view rtf)
{
    auto doc = std::make_unique<QTextDocument>();
    EXPECT_TRUE(ReadRtf(rtf, *doc));
    return doc;
}

// The blocks of the document's top level, tables left out.
inline std::vector<QTextBlock> TopBlocks(const QTextDocument& doc)
{
    std::vector<QTextBlock> blocks;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (!it.currentFrame())
            blocks.push_back(it.currentBlock());
    }
    return blocks;
}

inline std::vector<QString> TopTexts(const QTextDocument& doc)
{
    std::vector<QString> texts;
    for (const QTextBlock& b : TopBlocks(doc))
        texts.push_back(b.text());
    return texts;
}

// The tables of the document's top level.
inline std::vector<QTextTable*> Tables(const QTextDocument& doc)
{
    std::vector<QTextTable*> tables;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        if (auto* t = qobject_cast<QTextTable*>(frame))
            tables.push_back(t);
    }
    return tables;
}

inline QString CellText(QTextTable* table, int row, int column)
{
    const QTextTableCell cell = table->cellAt(row, column);
    QStringList parts;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (!it.currentFrame())
            parts << it.currentBlock().text();
    }
    return parts.join(QChar('\n'));
}

// The character format of the fragment that holds text.
inline QTextCharFormat FormatOf(const QTextDocument& doc, const QString& text)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat();
        }
    }
    ADD_FAILURE() << "no fragment holds " << text.toStdString();
    return {};
}

// The document's text without its notes' texts, which follow it.
inline QString BodyText(const QTextDocument& doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().hasProperty(rtf::kNotesRule)) {
            QTextCursor cursor(const_cast<QTextDocument*>(&doc));
            cursor.setPosition(b.position(), QTextCursor::KeepAnchor);
            return cursor.selection().toPlainText();
        }
    }
    return doc.toPlainText();
}

inline QString FirstFamily(const QTextCharFormat& f)
{
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    return families.isEmpty() ? QString() : families.constFirst();
}

inline std::string DataFile(const char* name)
{
    QFile file(QStringLiteral(ORMELIT_TEST_DATA "/rtf/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll().toStdString();
}

inline QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

}  // namespace orm::test
