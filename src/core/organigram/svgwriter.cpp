#include "core/organigram/svgwriter.h"

#include <string_view>

#include "core/publish/html.h"

namespace orm {

namespace {

std::string Num(Coord v)
{
    return std::to_string(v);
}

}  // namespace

SvgWriter::SvgWriter(Coord width, Coord height) : m_width(width), m_height(height) {}

void SvgWriter::SetPenWidth(Coord width)
{
    m_penWidth = width < 1 ? 1 : width;
}

void SvgWriter::DrawRectangle(Coord x1, Coord y1, Coord x2, Coord y2)
{
    // A GDI rectangle covers x1..x2-1, its pen centred on the outline inside that.
    m_body += "<rect x=\"" + Num(x1) + "\" y=\"" + Num(y1) + "\" width=\"" + Num(x2 - x1 - 1) +
              "\" height=\"" + Num(y2 - y1 - 1) + "\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"" +
              Num(m_penWidth) + "\"/>\n";
}

void SvgWriter::DrawLine(Coord x1, Coord y1, Coord x2, Coord y2)
{
    m_body += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
              Num(y2) + "\" stroke=\"#000\" stroke-width=\"" + Num(m_penWidth) + "\"/>\n";
}

void SvgWriter::SetFont(const SurfaceFont& font)
{
    m_font = font;
}

void SvgWriter::SetTextAlign(unsigned align)
{
    m_align = align;
}

void SvgWriter::DrawClippedText(Coord x, Coord y, const SurfaceRect& clip, const std::string& text)
{
    const std::string id = "og-c" + std::to_string(++m_clips);
    const bool centred = (m_align & kAlignCenter) == kAlignCenter;
    const bool bottom = (m_align & kAlignBottom) != 0;
    // The font's height is the cell height; its em is about 0.8 of it, and the descent about
    // 0.2, which is where the baseline lies above a bottom reference point.
    const Coord em = m_font.height * 4 / 5;
    const Coord baseline = bottom ? y - m_font.height / 5 : y + em;
    m_body += "<clipPath id=\"" + id + "\"><rect x=\"" + Num(clip.left) + "\" y=\"" +
              Num(clip.top) + "\" width=\"" + Num(clip.right - clip.left) + "\" height=\"" +
              Num(clip.bottom - clip.top) + "\"/></clipPath><text x=\"" + Num(x) + "\" y=\"" +
              Num(baseline) + "\" font-size=\"" + Num(em) + "\"" +
              (centred ? " text-anchor=\"middle\"" : "") + " clip-path=\"url(#" + id + ")\">" +
              HtmlText(text) + "</text>\n";
}

std::string SvgWriter::Finish(const std::string& title) const
{
    // Larger than the printed size (254 units per inch would be 0.38 px a unit): the
    // second-level boxes' texts must be readable on a screen.
    const Coord pxWidth = (m_width * 3 + 4) / 5;
    const Coord pxHeight = (m_height * 3 + 4) / 5;
    std::string face = m_font.face.empty() ? std::string() : "&#39;" + HtmlText(m_font.face) + "&#39;, ";
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"organigram\" role=\"img\" width=\"" +
           Num(pxWidth) + "\" height=\"" + Num(pxHeight) + "\" viewBox=\"0 0 " + Num(m_width) +
           " " + Num(m_height) + "\" style=\"font-family: " + face +
           "Arial, &#39;Liberation Sans&#39;, sans-serif\"><title>" + HtmlText(title) + "</title>\n" +
           m_body + "</svg>";
}

std::string BuildOrganigramSvg(const TDiagDataPrim& diagram, const std::string& title)
{
    const DiagExtent extent = diagram.Measure();
    SvgWriter writer(extent.width, extent.height);
    Coord width = 0;
    Coord height = 0;
    diagram.Draw(&writer, width, height);
    return writer.Finish(title);
}

}  // namespace orm
