// LOGFONT resolution and text decoding for the metafile players.

#include "format/gdifont.h"

#include <QFontMetricsF>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <array>
#include <string_view>

#include "format/textcodec.h"

namespace orm::gdi {

namespace {

// Windows-1252 where it differs from Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* CodePageOf(quint8 charSet)
{
    switch (charSet) {
        case 161:
            return "windows-1253";
        case 162:
            return "windows-1254";
        case 177:
            return "windows-1255";
        case 178:
            return "windows-1256";
        case 186:
            return "windows-1257";
        case 238:
            return "windows-1250";
        case 163:
            return "windows-1258";
        case 222:
            return "windows-874";
        case 128:
            return "Shift_JIS";
        case 129:
            return "EUC-KR";
        case 134:
            return "GBK";
        case 136:
            return "Big5";
        default:
            return nullptr;
    }
}

// Face names of the Windows font aliases ("Arial Cyr" is Arial with the Cyrillic character
// set) and the metric-compatible faces that stand in for the common Windows fonts.
struct FaceAlias {
    const char* suffix;
    int charSet;
};
constexpr FaceAlias kAliasSuffixes[] = {
    {" Cyr", kRussianCharSet}, {" CE", 238}, {" Greek", 161}, {" Tur", 162}, {" Baltic", 186},
};

struct MetricTwin {
    const char* face;
    const char* twin;
};
constexpr MetricTwin kMetricTwins[] = {
    {"arial", "Liberation Sans"},         {"helvetica", "Liberation Sans"},
    {"ms sans serif", "Liberation Sans"}, {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},        {"ms serif", "Liberation Serif"},
    {"courier new", "Liberation Mono"},   {"courier", "Liberation Mono"},
};

}  // namespace

QString DecodeText(const QByteArray& bytes, quint8 charSet)
{
    switch (charSet) {
        // The default character set is the system's, and this program's users run a Cyrillic one.
        case kDefaultCharSet:
        case kRussianCharSet:
            return FromCp1251(std::string_view(bytes.constData(), bytes.size()));
        case kAnsiCharSet: {
            QString text;
            text.reserve(bytes.size());
            for (char c : bytes) {
                const auto b = static_cast<uchar>(c);
                text.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
            }
            return text;
        }
        default:
            break;
    }
    if (const char* name = CodePageOf(charSet)) {
        QStringDecoder decoder(name);
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    // Symbol fonts map the byte codes themselves.
    return QString::fromLatin1(bytes);
}

void ApplyFontStyle(QFont& font, const LogFont& lf)
{
    font.setWeight(
        static_cast<QFont::Weight>(std::clamp(lf.weight <= 0 ? 400 : lf.weight, 1, 1000)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
}

QFont ResolveFont(const LogFont& lf, quint8* effectiveCharSet)
{
    QString face = lf.face.trimmed();
    *effectiveCharSet = lf.charSet;
    for (const FaceAlias& alias : kAliasSuffixes) {
        const QString suffix = QString::fromLatin1(alias.suffix);
        if (face.endsWith(suffix, Qt::CaseInsensitive) && face.size() > suffix.size()) {
            face.chop(suffix.size());
            if (lf.charSet == kAnsiCharSet || lf.charSet == kDefaultCharSet)
                *effectiveCharSet = static_cast<quint8>(alias.charSet);
            break;
        }
    }
    QFont font;
    QStringList families;
    if (!face.isEmpty()) families << face;
    for (const MetricTwin& twin : kMetricTwins)
        if (face.compare(QLatin1String(twin.face), Qt::CaseInsensitive) == 0)
            families << QString::fromLatin1(twin.twin);
    const int family = lf.pitchAndFamily & 0xF0;
    QFont::StyleHint hint = QFont::AnyStyle;
    switch (family) {
        case 0x10:
            hint = QFont::Serif;
            break;
        case 0x20:
            hint = QFont::SansSerif;
            break;
        case 0x30:
            hint = QFont::Monospace;
            break;
        case 0x40:
            hint = QFont::Cursive;
            break;
        case 0x50:
            hint = QFont::Decorative;
            break;
        default:
            // Only a font without a face falls back on its pitch.
            if (face.isEmpty() && (lf.pitchAndFamily & 3) == 1)
                hint = QFont::Monospace;
            else
                hint = QFont::SansSerif;
            break;
    }
    font.setStyleHint(hint);
    if (families.isEmpty())
        families << (hint == QFont::Monospace ? QStringLiteral("Liberation Mono")
                                              : QStringLiteral("Liberation Sans"));
    font.setFamilies(families);
    ApplyFontStyle(font, lf);
    if (lf.quality == kNonAntialiasedQuality) font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

double CellToEm::operator()(const QFont& font)
{
    const QString key = font.families().join(QLatin1Char(',')) + QString::number(font.weight()) +
                        (font.italic() ? QStringLiteral("i") : QString());
    auto it = m_ratios.find(key);
    if (it != m_ratios.end()) return it->second;
    QFont probe = font;
    probe.setPixelSize(1000);
    const QFontMetricsF metrics(probe);
    const double cell = metrics.ascent() + metrics.descent();
    const double ratio = cell > 0 ? 1000.0 / cell : 1.0;
    m_ratios.emplace(key, ratio);
    return ratio;
}

}  // namespace orm::gdi
