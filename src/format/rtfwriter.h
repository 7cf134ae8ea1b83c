#pragma once

// Our RTF writer: the report viewer's QTextDocument as a Windows-1251 RTF document that our
// reader and word processors read back; and the document's plain text as the viewer saves it.
// Qt has no RTF writer of its own.

#include <QString>
#include <string>

class QTextDocument;

namespace orm {

// RTF with \ansicpg1251 and every font in the Cyrillic character set; paragraph formatting
// (alignment, indents, spacing, line spacing, tab stops, page breaks), character formatting
// (font, size, bold, italic, underline, strike-out, colours, super- and subscript; each run a
// group of its own, so that no reader carries a run's formatting into the next), paragraph
// shading and tables (merged, shaded and nested cells); and what a loaded document keeps for a
// save (rtfdocument.h): the page, sections with their formatting, headers and footers, notes
// at their marks, fields, the font table's family words, the tables' cell gap, padding and
// indent, and pictures as they came.
// A character of Windows-1251 is written as \'hh, any other as \uN followed by "?" for readers
// without Unicode; so the file is plain ASCII.
std::string WriteRtf(const QTextDocument& document);

// The document's text: one line per paragraph, lines separated by CR LF, the cells of a table
// row separated by tabs (a nested table's cells by blanks); pictures left out.
QString PlainText(const QTextDocument& document);

// PlainText in Windows-1251 (a character the code page lacks becomes "?").
std::string WritePlainText(const QTextDocument& document);

}  // namespace orm
