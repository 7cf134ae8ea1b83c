// Binary raster operations of pens and brushes, the same in both metafile players: XOR passes
// that cancel exactly (office suites clip gradients with them), inversion, AND and OR.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "emfbuilder.h"
#include "format/emfplayer.h"
#include "format/wmfplayer.h"
#include "wmfbuild.h"

using namespace orm;
using namespace orm::test;

namespace {

struct Step {
    int rop;  // 0: an ellipse of the brush colour drawn as a copy
    QColor brush;
    QRect box;
    bool ellipse = false;
};

QImage play(const std::vector<Step>& steps, bool emf)
{
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (emf) {
        EmfBuilder b(100, 100);
        b.selectStock(8);  // no pen
        for (const Step& s : steps) {
            b.record(20, {s.rop ? s.rop : 13});
            b.createBrush(1, 0, EmfBuilder::rgb(s.brush.red(), s.brush.green(), s.brush.blue()));
            b.select(1);
            const QRect& r = s.box;
            if (s.ellipse)
                b.ellipse(r.left(), r.top(), r.right(), r.bottom());
            else
                b.rectangle(r.left(), r.top(), r.right(), r.bottom());
        }
        EmfPicture::Parse(b.finish())->Play(painter, QRectF(0, 0, 100, 100));
    } else {
        WmfBuild b;
        b.WindowExt(100, 100).Pen(5, 0, 0).Select(0);
        for (const Step& s : steps) {
            b.Rec(0x0104, {s.rop ? s.rop : 13});
            b.Brush(0, Rgb(s.brush.red(), s.brush.green(), s.brush.blue())).Select(1);
            const QRect& r = s.box;
            if (s.ellipse)
                b.Ellipse(r.left(), r.top(), r.right(), r.bottom());
            else
                b.Rectangle(r.left(), r.top(), r.right(), r.bottom());
            b.Delete(1);
        }
        WmfPicture::Parse(b.Plain())->Play(painter, QRectF(0, 0, 100, 100));
    }
    return image;
}

}  // namespace

TEST(Rop2, XorPassesCancelExactlyAndClipBetweenThem)
{
    const QColor red(Qt::red), black(Qt::black);
    const QRect band(10, 10, 80, 80);
    const QRect mask(30, 30, 40, 40);
    for (const bool emf : {false, true}) {
        SCOPED_TRACE(emf ? "EMF" : "WMF");
        // Band in XOR, the shape in black, the band in XOR again: the band shows in the shape
        // only, and not one pixel of it outside.
        const QImage clipped = play({{7, red, band}, {0, black, mask, true}, {7, red, band}}, emf);
        EXPECT_EQ(clipped.pixelColor(50, 50), red);
        for (const QPoint p : {QPoint(12, 12), QPoint(88, 50), QPoint(50, 12), QPoint(5, 5)})
            EXPECT_EQ(clipped.pixelColor(p), QColor(Qt::white)) << p.x() << "," << p.y();
        // Curved edges drawn twice in XOR leave nothing: no smoothing of edges.
        const QImage twice =
            play({{7, QColor(10, 200, 90), mask, true}, {7, QColor(10, 200, 90), mask, true}}, emf);
        int left = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                left += twice.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_EQ(left, 0);
    }
}

TEST(Rop2, EachOperationComputesItsBits)
{
    const QColor pen(0x30, 0xC0, 0x0F);
    const QColor ground(0x55, 0x0F, 0xF0);
    auto q = [](quint32 v) { return QColor(QRgb(0xFF000000u | (v & 0xFFFFFFu))); };
    const quint32 p = pen.rgb() & 0xFFFFFF, d = ground.rgb() & 0xFFFFFF;
    struct Case {
        int rop;
        QColor expected;
    };
    const Case cases[] = {
        {1, Qt::black},   {2, q(~(p | d))}, {3, q(~p & d)}, {4, q(~p)},  {5, q(p & ~d)},
        {6, q(~d)},       {7, q(p ^ d)},    {8, q(~(p & d))}, {9, q(p & d)}, {10, q(~(p ^ d))},
        {11, ground},     {12, q(~p | d)},  {13, pen},      {14, q(p | ~d)}, {15, q(p | d)},
        {16, Qt::white},
    };
    for (const bool emf : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (emf ? "EMF " : "WMF ") << c.rop);
            const QImage image =
                play({{13, ground, QRect(0, 0, 100, 100)}, {c.rop, pen, QRect(20, 20, 60, 60)}},
                     emf);
            EXPECT_EQ(image.pixelColor(50, 50), c.expected);
            EXPECT_EQ(image.pixelColor(5, 5), ground);
        }
    }
}
