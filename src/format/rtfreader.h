#pragma once

// Our RTF reader: an RTF document (ours, or one written by a word processor) into a
// QTextDocument for the report viewer. Qt has no RTF reader of its own.
//
// Read: code pages by font (\fcharset, \cpg, \ansicpg) for raw bytes and \'hh, \uN with its
// fallback (\ucN), font and colour tables (a face named for a character set, "Arial CE", as the
// face itself), bold, italic, underline, strike-out, sizes, colours, super- and subscript,
// alignment, indents, spacing before and after, line spacing, tab stops, line, paragraph and page
// breaks, fields (their results shown, hyperlinks as links), list texts, tables (as QTextTable,
// with merged and shaded cells and tables nested in cells), paragraph shading, footnotes and
// endnotes (their texts after the document's), and pictures (PNG, JPEG, EMF, WMF and DIB, also as
// the picture of a shape; metafiles drawn by our players). Kept for a save without being shown
// (see rtfdocument.h): the page size, margins and orientation, each section's own formatting,
// headers and footers, the font table's family words, fields' instructions, the tables' cell gap,
// padding and indent, and each picture's bytes.
// Skipped: \* destinations we do not know, objects' data, the document information, style
// sheet, list tables; and the parts a load reports as left out: annotations, drawing objects
// and pictures of other kinds.
//
// A damaged document is read as far as it goes: the group depth, every number and the size of
// tables are bounded, so no input makes the reader crash, recurse without end or blow up.

#include <memory>
#include <string_view>

class QTextDocument;

namespace orm {

// True when the bytes begin (after blanks) with "{\rtf".
bool LooksLikeRtf(std::string_view bytes);

// Replaces the document's contents by the RTF document in bytes. False, with the document
// untouched, when the bytes are not RTF (see LooksLikeRtf); anything that starts as RTF is read.
// What a load left out of the document: parts the view does not show and a save does not keep.
enum RtfOmitted : unsigned {
    kRtfOmittedAnnotations = 4,  // comments
    kRtfOmittedDrawings = 8,     // drawing objects, pictures of kinds we cannot show
};

struct RtfLoadInfo {
    unsigned omitted = 0;  // RtfOmitted flags
};

bool ReadRtf(std::string_view bytes, QTextDocument& document, RtfLoadInfo* info = nullptr);

// ReadRtf a part at a time, so that the beginning of a long document can be shown (a copy of
// it) while the rest is read. The document is cleared at once; after each part it holds the
// paragraphs read so far, with the page and tab width as read so far. The bytes and the
// document must outlive the reader, and nothing else may change the document in between.
// Read to its end, the document is the one ReadRtf makes.
class RtfReader {
public:
    // bytes: an RTF document (LooksLikeRtf).
    RtfReader(std::string_view bytes, QTextDocument& document);
    ~RtfReader();
    RtfReader(const RtfReader&) = delete;
    RtfReader& operator=(const RtfReader&) = delete;

    // Reads until about `paragraphs` more paragraphs are in the document (a table row counts
    // as one; a table comes whole), or to the end; true at the end.
    bool ReadSome(long paragraphs);
    bool AtEnd() const;
    // What was left out so far.
    RtfLoadInfo Info() const;

private:
    struct Parser;
    QTextDocument& m_document;
    bool m_undo;
    std::unique_ptr<Parser> m_parser;
};

}  // namespace orm
