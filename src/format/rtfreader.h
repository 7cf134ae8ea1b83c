#pragma once

// Our RTF reader: an RTF document (ours, or one written by a word processor) into a
// QTextDocument for the report viewer. Qt has no RTF reader of its own.
//
// Read: code pages by font (\fcharset, \cpg, \ansicpg) for raw bytes and \'hh, \uN with its
// fallback (\ucN), font and colour tables, bold, italic, underline, strike-out, sizes, colours,
// super- and subscript, alignment, indents, spacing before and after, line spacing, tab stops,
// line, paragraph and page breaks, field results, list texts and tables (as QTextTable).
// Skipped: \* destinations we do not know, pictures, objects' data, the document information,
// style sheet, list tables, headers, footers, footnotes and annotations.
//
// A damaged document is read as far as it goes: the group depth, every number and the size of
// tables are bounded, so no input makes the reader crash, recurse without end or blow up.

#include <string_view>

class QTextDocument;

namespace orm {

// True when the bytes begin (after blanks) with "{\rtf".
bool LooksLikeRtf(std::string_view bytes);

// Replaces the document's contents by the RTF document in bytes. False, with the document
// untouched, when the bytes are not RTF (see LooksLikeRtf); anything that starts as RTF is read.
bool ReadRtf(std::string_view bytes, QTextDocument& document);

}  // namespace orm
