#pragma once

// What an RTF document carries beyond what QTextDocument shows, kept in the document itself so
// that it survives the view, copies (QTextDocument::clone keeps the root frame's format and the
// resources) and comes back out in a save: the page the file was laid out for, the font table's
// family words, the table's cell gap, the pictures as their original bytes, fields, notes,
// sections with their own page and their headers and footers, and the cells' own formats.

#include <QMetaType>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextFrame>
#include <QTextFrameFormat>
#include <QUrl>
#include <memory>
#include <optional>
#include <vector>

namespace orm::rtf {

// Properties of our own on Qt's formats; beyond the ones the viewer uses for itself.
enum Property : int {
    // Root frame: the page in twips.
    kPaperWidth = QTextFormat::UserProperty + 0x100,
    kPaperHeight,
    kMarginLeft,
    kMarginRight,
    kMarginTop,
    kMarginBottom,
    kLandscape,
    // Character format: the font table's family word (FamilyWord).
    kFontFamilyWord,
    // Table format: the row's \trgaph and its \trpadd values, twips.
    kCellGap,
    kCellPadLeft,
    kCellPadRight,
    kCellPadTop,
    kCellPadBottom,
    // Image format of a picture read from RTF: its kind (PictureKind), \picw, \pich,
    // \picwgoal, \pichgoal, \picscalex, \picscaley and the bitmap's \wbmbitspixel etc. as read.
    kPictKind,
    kPictWidth,
    kPictHeight,
    kPictGoalWidth,
    kPictGoalHeight,
    kPictScaleX,
    kPictScaleY,
    kPictMetaMapMode,  // the N of \wmetafileN, \dibitmapN
    // Block format: an empty paragraph of the file. QTextDocument keeps an empty block of its
    // own before a table that follows another; this tells a paragraph from that.
    kEmptyParagraph,
    // Character format: the text is the result of fields, innermost last: their numbers in the
    // document (QVariantList of int) and their instructions (QStringList).
    kFieldIds,
    kFieldInstructions,
    // Character format: the note (its number in the document) anchored to this text.
    kNoteAnchor,
    // Character format: a note's number that the word processor counts itself (\chftn); the
    // value tells one such number from the next.
    kNoteNumber,
    // Block and table format: part of the text of note N, shown at the end of the document.
    kNoteText,
    kEndnote,  // bool, beside kNoteText
    kNotesRule,  // block format: the rule above the notes
    // Block and table format: the first paragraph or table of section N (1, 2, ...).
    kSectionStart,
    // Root frame: the document's own formatting words as read (how notes are numbered and
    // placed, facing pages), written back as they came.
    kDocumentWords,
    // Table format: \trleft, twips.
    kTableLeft,
    // Table cell format: \clpadl, \clpadr, \clpadt, \clpadb as read, twips (Word reads \clpadl
    // as the top padding and \clpadt as the left one); \clshdng, \clcfpat and \clcbpat when
    // the shown background is their mix.
    kCellPadL,
    kCellPadR,
    kCellPadT,
    kCellPadB,
    kCellShading,
    kCellPattern,
    kCellFill,
};

// The picture's bytes (a QByteArray), a resource of the document under PictureDataUrl of the
// image's name (resources are found by name alone, whatever their type).
constexpr int kPictureDataResource = QTextDocument::UserResource + 1;

inline QUrl PictureDataUrl(const QString& imageName)
{
    return QUrl(imageName + QStringLiteral("-data"));
}

// A header or footer: its destination word ("header", "footerf", ...) and its text.
struct PagePart {
    QString word;
    std::shared_ptr<const QTextDocument> text;
};

// What a section keeps beyond its paragraphs: its formatting words as read (page size and
// margins, columns, page numbers, \titlepg, ...) and its headers and footers.
struct Section {
    QString words;
    std::vector<PagePart> parts;
};

// Section N of a document (0 for the first) as a resource under SectionUrl(N).
constexpr int kSectionResource = QTextDocument::UserResource + 2;

inline QUrl SectionUrl(int n)
{
    return QUrl(QStringLiteral("rtfsection:%1").arg(n));
}

enum class FamilyWord : int { Nil = 1, Roman, Swiss, Modern, Script, Decor, Tech, Bidi };

enum class PictureKind : int { Png = 1, Jpeg, Emf, Wmf, Dib };

// The page a document was laid out for, in twips.
struct Page {
    int paperWidth = 0;
    int paperHeight = 0;
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    bool landscape = false;

    bool operator==(const Page&) const = default;
};

inline std::optional<Page> DocumentPage(const QTextDocument& doc)
{
    const QTextFrameFormat f = doc.rootFrame()->frameFormat();
    if (!f.hasProperty(kPaperWidth))
        return std::nullopt;
    Page page;
    page.paperWidth = f.intProperty(kPaperWidth);
    page.paperHeight = f.intProperty(kPaperHeight);
    page.left = f.intProperty(kMarginLeft);
    page.right = f.intProperty(kMarginRight);
    page.top = f.intProperty(kMarginTop);
    page.bottom = f.intProperty(kMarginBottom);
    page.landscape = f.boolProperty(kLandscape);
    return page;
}

inline void SetDocumentPage(QTextDocument& doc, const Page& page)
{
    QTextFrameFormat f = doc.rootFrame()->frameFormat();
    f.setProperty(kPaperWidth, page.paperWidth);
    f.setProperty(kPaperHeight, page.paperHeight);
    f.setProperty(kMarginLeft, page.left);
    f.setProperty(kMarginRight, page.right);
    f.setProperty(kMarginTop, page.top);
    f.setProperty(kMarginBottom, page.bottom);
    f.setProperty(kLandscape, page.landscape);
    doc.rootFrame()->setFrameFormat(f);
}

}  // namespace orm::rtf

Q_DECLARE_METATYPE(orm::rtf::Section)

namespace orm::rtf {

inline std::optional<Section> DocumentSection(const QTextDocument& doc, int n)
{
    const QVariant v = doc.resource(kSectionResource, SectionUrl(n));
    if (!v.canConvert<Section>())
        return std::nullopt;
    return v.value<Section>();
}

}  // namespace orm::rtf
