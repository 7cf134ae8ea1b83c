#pragma once

// Records drawing calls as a Windows metafile and serialises it as a placeable metafile: the
// 22-byte placeable header, the metafile header and the records. Layout units are 0.1 mm, so
// the file declares 254 units per inch.
//
// Every coordinate of a metafile is a signed 16-bit value. A picture whose extent exceeds
// 32,767 units is scaled down uniformly, and its units per inch with it, so that it keeps its
// physical size: with 254 × s units per inch (s < 1) every coordinate is multiplied by s.
// Only a picture larger than about 830 m, where even 1 unit per inch does not fit, is also
// shrunk physically.

#include <cstdint>
#include <string>
#include <vector>

#include "core/organigram/diagdata.h"
#include "core/organigram/drawsurface.h"

namespace orm {

class WmfWriter : public DrawSurface {
public:
    static constexpr int kUnitsPerInch = 254;
    static constexpr Coord kMaxCoord = 32767;

    // width and height: the picture's extent in layout units, from (0, 0).
    WmfWriter(Coord width, Coord height);

    void SetPenWidth(Coord width) override;
    void DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2) override;
    void DrawLine(Coord x1, Coord y1, Coord x2, Coord y2) override;
    void SetFont(const SurfaceFont& font) override;
    void SetTextAlign(unsigned align) override;
    void DrawClippedText(Coord x, Coord y, const SurfaceRect& clip,
                         const std::string& text) override;

    // Ends the recording and returns the placeable metafile. Later calls return the same bytes;
    // drawing after it is ignored.
    std::string Finish();

    // The units per inch the file declares: 254 unless the picture had to be scaled down.
    int UnitsPerInch() const { return m_unitsPerInch; }
    // A layout coordinate as it is stored in the file.
    Coord Scale(Coord v) const;

private:
    struct Record;
    void Emit(const Record& record);
    int CreateAndSelect(const Record& record);
    void DeleteObject(int index);
    void SelectPen();
    void SelectBrush();
    void SelectFont();

    Coord m_num = 1;
    Coord m_den = 1;
    int m_unitsPerInch = kUnitsPerInch;
    Coord m_width;   // scaled
    Coord m_height;  // scaled

    std::string m_records;  // after the metafile header
    std::uint32_t m_maxRecordWords = 0;
    std::vector<bool> m_objectSlots;  // the player's handle table: true while in use

    Coord m_penWidth = 1;  // wanted, scaled
    int m_pen = -1;        // selected object, -1: none yet
    Coord m_selectedPenWidth = 0;
    int m_brush = -1;
    SurfaceFont m_font;  // wanted, height scaled
    int m_fontObject = -1;
    SurfaceFont m_selectedFont;
    unsigned m_textAlign = 0;  // a device context starts left/top aligned

    bool m_finished = false;
    std::string m_result;
};

// The organigram as a placeable metafile: measured first, then drawn to that extent.
std::string BuildOrganigramWmf(const TDiagDataPrim& diagram);

}  // namespace orm
