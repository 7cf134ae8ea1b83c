#pragma once

// Device-independent bitmaps as metafile records carry them: a BITMAPINFOHEADER (or the older
// core header), a colour table and the pixels, uncompressed, run-length encoded, with bit
// fields or as an embedded JPEG or PNG file. Nothing is read outside the bytes given, and no
// image larger than the caps is made.

#include <QImage>
#include <optional>
#include <vector>

namespace orm::gdi {

// A bitmap of a WMF record, where header, colours and pixels follow one another. Only the rows
// the record holds are kept: a header may promise more rows than the bytes that follow it.
struct Dib {
    QImage image;
    int fullHeight = 0;  // rows the header declares
    int firstRow = 0;    // the row of the whole bitmap where image starts, from the top
};

// Nothing when the bitmap is damaged or too large. colorUsage 1 (DIB_PAL_COLORS): the colour
// table holds indexes into palette.
std::optional<Dib> DecodePackedDib(const uchar* p, std::size_t n, int colorUsage,
                                   const std::vector<QRgb>& palette);

// A bitmap of an EMF record, where the header with its colours and the pixels lie apart. alpha:
// 32-bit pixels carry premultiplied alpha. rows: the scan lines stored, when fewer than the
// header says. A null image when the bitmap is damaged or too large.
QImage DecodeDib(const uchar* info, quint32 infoBytes, const uchar* bits, quint32 bitsBytes,
                 bool alpha, std::optional<int> rows = std::nullopt);

}  // namespace orm::gdi
