#pragma once

// Fonts and text of the metafile players: the LOGFONT a record creates, the QFont it resolves
// to (Windows face aliases, the metric-compatible faces that stand in for the common Windows
// fonts, the family and pitch), and eight-bit text decoded by the font's character set.

#include <QByteArray>
#include <QFont>
#include <QString>
#include <map>

namespace orm::gdi {

constexpr quint8 kAnsiCharSet = 0;
constexpr quint8 kDefaultCharSet = 1;
constexpr quint8 kSymbolCharSet = 2;
constexpr quint8 kRussianCharSet = 204;

constexpr quint8 kNonAntialiasedQuality = 3;

// A LOGFONT in logical units, as either format stores it.
struct LogFont {
    double height = 0;  // positive: the cell height; negative: the character height
    double width = 0;
    double escapement = 0;  // tenths of a degree, counterclockwise
    double orientation = 0;
    int weight = 0;  // 0: normal
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    quint8 charSet = kDefaultCharSet;
    quint8 quality = 0;
    quint8 pitchAndFamily = 0;
    QString face;
};

// The QFont for a LOGFONT, without its size, and the character set its text is in (a face
// alias such as "Arial Cyr" names one). The pitch is not passed on: the face decides it, as on
// Windows, where "Arial" asked for with fixed pitch is still Arial.
QFont ResolveFont(const LogFont& lf, quint8* effectiveCharSet);

// The weight, slant, underline and strike-out of a LOGFONT onto font.
void ApplyFontStyle(QFont& font, const LogFont& lf);

// Eight-bit text of a font with the given character set.
QString DecodeText(const QByteArray& bytes, quint8 charSet);

// The cell height of a font over its character height, measured once per face.
class CellToEm {
public:
    double operator()(const QFont& font);

private:
    std::map<QString, double> m_ratios;
};

}  // namespace orm::gdi
