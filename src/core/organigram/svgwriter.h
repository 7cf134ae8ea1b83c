#pragma once

// Records the organigram's drawing calls as SVG, the same calls the metafile writer records, so
// the published chart and the saved metafile never disagree. Coordinates stay layout units
// (0.1 mm), in a viewBox; the picture's size is 0.6 CSS pixels a unit. Texts are converted to
// UTF-8 and escaped; the result can stand alone or inline in an HTML page.

#include <string>

#include "core/organigram/diagdata.h"
#include "core/organigram/drawsurface.h"

namespace orm {

class SvgWriter : public DrawSurface {
public:
    SvgWriter(Coord width, Coord height);

    void SetPenWidth(Coord width) override;
    void DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2) override;
    void DrawLine(Coord x1, Coord y1, Coord x2, Coord y2) override;
    void SetFont(const SurfaceFont& font) override;
    void SetTextAlign(unsigned align) override;
    void DrawClippedText(Coord x, Coord y, const SurfaceRect& clip,
                         const std::string& text) override;

    // The <svg> element; title (Windows-1251) becomes its accessible name.
    std::string Finish(const std::string& title) const;

private:
    Coord m_width;
    Coord m_height;
    Coord m_penWidth = 1;
    SurfaceFont m_font;
    unsigned m_align = 0;
    int m_clips = 0;
    std::string m_body;
};

// The organigram as an <svg> element: measured first, then drawn to that extent.
std::string BuildOrganigramSvg(const TDiagDataPrim& diagram, const std::string& title);

}  // namespace orm
