#include "core/organigram/wmfwriter.h"

#include <algorithm>
#include <string_view>

namespace orm {

namespace {

enum : std::uint16_t {
    kMetaEof = 0x0000,
    kMetaSaveDc = 0x001E,
    kMetaSetBkMode = 0x0102,
    kMetaRestoreDc = 0x0127,
    kMetaSelectObject = 0x012D,
    kMetaSetTextAlign = 0x012E,
    kMetaDeleteObject = 0x01F0,
    kMetaSetTextColor = 0x0209,
    kMetaSetWindowOrg = 0x020B,
    kMetaSetWindowExt = 0x020C,
    kMetaLineTo = 0x0213,
    kMetaMoveTo = 0x0214,
    kMetaCreatePenIndirect = 0x02FA,
    kMetaCreateFontIndirect = 0x02FB,
    kMetaCreateBrushIndirect = 0x02FC,
    kMetaRectangle = 0x041B,
    kMetaExtTextOut = 0x0A32,
};

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kHeaderWords = 9;
constexpr std::uint16_t kMemoryMetafile = 1;
constexpr std::uint16_t kMetafileVersion = 0x0300;
constexpr std::uint16_t kTransparent = 1;
constexpr std::uint16_t kEtoClipped = 0x0004;
constexpr std::uint16_t kFontWeightNormal = 400;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::size_t kFaceNameBytes = 32;  // NUL included
constexpr std::size_t kMaxTextBytes = 0x7FFF;

void PutWord(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutDWord(std::string& out, std::uint32_t v)
{
    PutWord(out, static_cast<std::uint16_t>(v & 0xFFFF));
    PutWord(out, static_cast<std::uint16_t>(v >> 16));
}

// v * num / den rounded half away from zero; the product may exceed 64 bits for absurd inputs.
Coord MulDiv(Coord v, Coord num, Coord den)
{
    const __int128 p = static_cast<__int128>(v) * num;
    const __int128 half = den / 2;
    const __int128 q = p >= 0 ? (p + half) / den : -((-p + half) / den);
    return static_cast<Coord>(std::clamp<__int128>(q, INT64_MIN, INT64_MAX));
}

// Lengths keep at least one unit so that a scaled-down pen or font never becomes the device's
// "default" (0).
Coord AtLeastOne(Coord scaled, Coord original)
{
    if (original > 0) return std::max<Coord>(scaled, 1);
    if (original < 0) return std::min<Coord>(scaled, -1);
    return 0;
}

}  // namespace

struct WmfWriter::Record {
    explicit Record(std::uint16_t f) : function(f) {}
    // A signed 16-bit value; callers pass coordinates that Scale already bounded.
    Record& Short(Coord v)
    {
        PutWord(params, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
        return *this;
    }
    Record& Word(std::uint16_t v)
    {
        PutWord(params, v);
        return *this;
    }
    Record& DWord(std::uint32_t v)
    {
        PutDWord(params, v);
        return *this;
    }
    Record& Bytes(std::string_view bytes)
    {
        params.append(bytes);
        if (params.size() % 2) params.push_back('\0');
        return *this;
    }

    std::uint16_t function;
    std::string params;
};

WmfWriter::WmfWriter(Coord width, Coord height)
{
    width = std::max<Coord>(width, 1);
    height = std::max<Coord>(height, 1);
    const Coord largest = std::max(width, height);
    if (largest > kMaxCoord) {
        // The largest units per inch at which the picture still fits.
        const Coord unitsPerInch = kMaxCoord * kUnitsPerInch / largest;
        if (unitsPerInch >= 1) {
            m_unitsPerInch = static_cast<int>(unitsPerInch);
            m_num = unitsPerInch;
            m_den = kUnitsPerInch;
        } else {
            m_unitsPerInch = 1;
            m_num = kMaxCoord;
            m_den = largest;
        }
    }
    m_width = std::max<Coord>(Scale(width), 1);
    m_height = std::max<Coord>(Scale(height), 1);

    Emit(Record(kMetaSetWindowOrg).Short(0).Short(0));
    Emit(Record(kMetaSetWindowExt).Short(m_height).Short(m_width));
    // Saved so that the objects selected below can be released and deleted at the end.
    Emit(Record(kMetaSaveDc));
    Emit(Record(kMetaSetBkMode).Word(kTransparent));
    Emit(Record(kMetaSetTextColor).DWord(kBlack));
}

Coord WmfWriter::Scale(Coord v) const
{
    const Coord scaled = m_num == m_den ? v : MulDiv(v, m_num, m_den);
    return std::clamp<Coord>(scaled, -kMaxCoord - 1, kMaxCoord);
}

void WmfWriter::Emit(const Record& record)
{
    const std::uint32_t words = static_cast<std::uint32_t>(3 + record.params.size() / 2);
    PutDWord(m_records, words);
    PutWord(m_records, record.function);
    m_records.append(record.params);
    m_maxRecordWords = std::max(m_maxRecordWords, words);
}

// A player puts each new object in the lowest free slot of its handle table; mirror that.
int WmfWriter::CreateAndSelect(const Record& record)
{
    Emit(record);
    auto free = std::find(m_objectSlots.begin(), m_objectSlots.end(), false);
    const int index = static_cast<int>(free - m_objectSlots.begin());
    if (free == m_objectSlots.end())
        m_objectSlots.push_back(true);
    else
        *free = true;
    Emit(Record(kMetaSelectObject).Word(static_cast<std::uint16_t>(index)));
    return index;
}

void WmfWriter::DeleteObject(int index)
{
    Emit(Record(kMetaDeleteObject).Word(static_cast<std::uint16_t>(index)));
    m_objectSlots[index] = false;
}

// Objects are made only when a drawing call needs them, and the one they replace is deleted
// after the new one is selected, never while it is still in use.
void WmfWriter::SelectPen()
{
    if (m_pen >= 0 && m_selectedPenWidth == m_penWidth) return;
    const int old = m_pen;
    m_pen = CreateAndSelect(
        Record(kMetaCreatePenIndirect).Word(0).Short(m_penWidth).Short(0).DWord(kBlack));
    m_selectedPenWidth = m_penWidth;
    if (old >= 0) DeleteObject(old);
}

void WmfWriter::SelectBrush()
{
    if (m_brush >= 0) return;
    m_brush = CreateAndSelect(Record(kMetaCreateBrushIndirect).Word(0).DWord(kWhite).Word(0));
}

void WmfWriter::SelectFont()
{
    if (m_fontObject >= 0 && m_selectedFont == m_font) return;
    std::string face = m_font.face.substr(0, kFaceNameBytes - 1);
    face.resize(kFaceNameBytes, '\0');
    const std::uint8_t pitch = static_cast<std::uint8_t>(m_font.pitch);
    Record record(kMetaCreateFontIndirect);
    record.Short(m_font.height).Short(0).Short(0).Short(0).Word(kFontWeightNormal);
    // Bytes: italic, underline, strike-out, character set, output precision, clip precision,
    // quality (all default but the character set), pitch with family "don't care".
    record.Word(0).Word(static_cast<std::uint16_t>(m_font.charSet << 8)).Word(0);
    record.Word(static_cast<std::uint16_t>(pitch << 8));
    record.Bytes(face);
    const int old = m_fontObject;
    m_fontObject = CreateAndSelect(record);
    m_selectedFont = m_font;
    if (old >= 0) DeleteObject(old);
}

void WmfWriter::SetPenWidth(Coord width)
{
    m_penWidth = AtLeastOne(Scale(std::max<Coord>(width, 0)), std::max<Coord>(width, 0));
}

void WmfWriter::DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2)
{
    if (m_finished) return;
    SelectPen();
    SelectBrush();
    Emit(
        Record(kMetaRectangle).Short(Scale(y2)).Short(Scale(x2)).Short(Scale(y1)).Short(Scale(x1)));
}

void WmfWriter::DrawLine(Coord x1, Coord y1, Coord x2, Coord y2)
{
    if (m_finished) return;
    SelectPen();
    Emit(Record(kMetaMoveTo).Short(Scale(y1)).Short(Scale(x1)));
    Emit(Record(kMetaLineTo).Short(Scale(y2)).Short(Scale(x2)));
}

void WmfWriter::SetFont(const SurfaceFont& font)
{
    m_font = font;
    m_font.height = AtLeastOne(Scale(font.height), font.height);
}

void WmfWriter::SetTextAlign(unsigned align)
{
    if (m_finished || align == m_textAlign) return;
    m_textAlign = align;
    Emit(Record(kMetaSetTextAlign).Word(static_cast<std::uint16_t>(align)));
}

void WmfWriter::DrawClippedText(Coord x, Coord y, const SurfaceRect& clip, const std::string& text)
{
    if (m_finished) return;
    SelectFont();
    const std::string_view bytes = std::string_view(text).substr(0, kMaxTextBytes);
    Record record(kMetaExtTextOut);
    record.Short(Scale(y)).Short(Scale(x)).Word(static_cast<std::uint16_t>(bytes.size()));
    record.Word(kEtoClipped);
    record.Short(Scale(clip.left)).Short(Scale(clip.top)).Short(Scale(clip.right));
    record.Short(Scale(clip.bottom)).Bytes(bytes);
    Emit(record);
}

std::string WmfWriter::Finish()
{
    if (m_finished) return m_result;
    m_finished = true;

    // Back to the objects the player started with; ours are then free to delete.
    Emit(Record(kMetaRestoreDc).Short(-1));
    for (std::size_t i = 0; i < m_objectSlots.size(); ++i)
        if (m_objectSlots[i]) DeleteObject(static_cast<int>(i));
    Emit(Record(kMetaEof));

    std::string& out = m_result;
    PutDWord(out, kPlaceableKey);
    PutWord(out, 0);  // handle, unused in files
    PutWord(out, 0);  // bounding box left, top, right, bottom
    PutWord(out, 0);
    PutWord(out, static_cast<std::uint16_t>(m_width));
    PutWord(out, static_cast<std::uint16_t>(m_height));
    PutWord(out, static_cast<std::uint16_t>(m_unitsPerInch));
    PutDWord(out, 0);  // reserved
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < out.size(); i += 2)
        checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(out[i]) |
                                               static_cast<unsigned char>(out[i + 1]) << 8);
    PutWord(out, checksum);

    PutWord(out, kMemoryMetafile);
    PutWord(out, kHeaderWords);
    PutWord(out, kMetafileVersion);
    PutDWord(out, static_cast<std::uint32_t>(kHeaderWords + m_records.size() / 2));
    PutWord(out, static_cast<std::uint16_t>(m_objectSlots.size()));
    PutDWord(out, m_maxRecordWords);
    PutWord(out, 0);  // no parameters
    out += m_records;
    m_records.clear();
    return m_result;
}

std::string BuildOrganigramWmf(const TDiagDataPrim& diagram)
{
    const DiagExtent extent = diagram.Measure();
    WmfWriter writer(extent.width, extent.height);
    Coord width = 0;
    Coord height = 0;
    diagram.Draw(&writer, width, height);
    return writer.Finish();
}

}  // namespace orm
