#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>
#include <string>

#include "core/organigram/diagdata.h"
#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "format/wmfbuild.h"
#include "format/wmfplayer.h"

// Damaged, truncated and hostile metafiles: the player must neither crash nor hang, and must
// not allocate what the file cannot back.

namespace orm {
namespace {

using test::Rgb;
using test::WmfBuild;

// Parses and plays bytes onto a small image; returns whether they parsed.
bool Survive(const QByteArray& bytes, int size = 48)
{
    const auto picture = WmfPicture::Parse(bytes);
    if (!picture) return false;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture->Play(painter, QRectF(0, 0, size, size));
    picture->PlaceableBytes();
    return true;
}

QByteArray Region()
{
    // Two scans: y 10..20 with x 10..30 and 40..50; y 20..40 with x 10..50.
    return WmfBuild::Words({0, 6,  0,  0,  60, 2,  4,  10, 10, 50, 40,  //
                            4, 10, 20, 10, 30, 40, 50, 4,               //
                            2, 20, 40, 10, 50, 2});
}

QByteArray Cp1251Text() { return QByteArray::fromStdString(ToCp1251("Ёлка")); }

// One of every kind of record the player knows, on a frame of 200 x 200.
QByteArray Everything()
{
    const QByteArray dib24 =
        WmfBuild::Dib(2, 2, 24, {}, {QByteArray(6, '\x40'), QByteArray(6, '\x90')});
    const QByteArray mono =
        WmfBuild::Dib(8, 8, 1, {0, Rgb(255, 0, 0)}, std::vector<QByteArray>(8, QByteArray("\xAA")));
    // RLE8: a run of 2, an absolute run of 3, end of line, a delta, end of bitmap.
    QByteArray rle = WmfBuild::Dib(4, 2, 8, {0, Rgb(0, 255, 0)}, {QByteArray(), QByteArray()});
    rle.truncate(40 + 8);
    rle[16] = 1;  // BI_RLE8
    rle += QByteArray::fromHex(
        "0201"
        "000301000100"
        "0000"
        "00020100"
        "0001");
    WmfBuild b;
    b.MapMode(8).WindowOrg(0, 0).WindowExt(200, 200);
    b.Rec(0x020D, {0, 0}).Rec(0x020E, {200, 200}).Rec(0x020F, {1, 1}).Rec(0x0211, {0, 0});
    b.Rec(0x0410, {1, 1, 1, 1}).Rec(0x0412, {1, 1, 1, 1});
    b.Raw(0x00F7, WmfBuild::Words({0x300, 2}) + QByteArray::fromHex("ff000000"
                                                                    "00ff0000"));  // 0
    b.Rec(0x0234, {0}).Rec(0x0035, {});
    b.Pen(1, 0, 0x01000001);                        // 1
    b.Pen(0x2200, 3, Rgb(0, 0, 255));               // 2
    b.Brush(2, Rgb(0, 128, 0), 5);                  // 3
    b.Raw(0x0142, WmfBuild::Words({5, 0}) + mono);  // 4
    b.Font(-12, "Arial Cyr", 204, 450, 0x22, 5);    // 5
    b.Raw(0x06FF, Region());                        // 6
    b.Raw(0x01F9, QByteArray(32, '\0'));            // 7
    b.Select(1).Select(3).Select(5);
    b.BkMode(2).BkColor(Rgb(255, 255, 0)).TextColor(0x01000000);
    b.Rec(0x0104, {13}).Rec(0x0106, {2}).Rec(0x0108, {2}).Rec(0x0231, {0, 0}).Rec(0x0107, {3});
    b.Rec(0x001E, {});
    b.Rec(0x0416, {190, 190, 5, 5}).Rec(0x0415, {30, 30, 20, 20}).Rec(0x0220, {2, 2});
    b.Rec(0x012C, {6});
    b.MoveTo(0, 0).LineTo(200, 200);
    b.Rec(0x0325, {3, 0, 0, 50, 20, 100, 0});
    b.Rec(0x0324, {3, 10, 10, 60, 10, 30, 40});
    b.Rec(0x0538, {2, 3, 3, 0, 0, 40, 0, 0, 40, 50, 50, 90, 50, 50, 90});
    b.Select(2).Select(4);
    b.Rectangle(10, 10, 60, 60).Rec(0x061C, {10, 10, 90, 90, 60, 60}).Ellipse(100, 10, 150, 60);
    b.Rec(0x0817, {0, 125, 35, 150, 60, 150, 10, 100});
    b.Rec(0x081A, {0, 125, 35, 150, 60, 150, 10, 100});
    b.Rec(0x0830, {0, 125, 35, 150, 60, 150, 10, 100});
    b.Raw(0x041F, WmfBuild::DWord(Rgb(1, 2, 3)) + WmfBuild::Words({5, 5}));
    b.Rec(0x0127, {0xFFFF});
    b.TextOut(10, 150, Cp1251Text());
    b.ExtTextOut(10, 170, 6, {10, 160, 100, 190}, "clip", {8, 8, 8, 8});
    b.TextAlign(1 | 6 | 8).MoveTo(20, 180).TextOut(0, 0, "cp").TextOut(0, 0, "cp");
    b.ExtTextOut(5, 5, 0x2010, {}, "gl", {1, 1, 1, 1});
    b.StretchDib(0, 0, 50, 50, 0, 0, 2, 2, dib24);
    b.StretchDib(50, 0, 50, 50, 0, 0, 4, 2, rle);
    b.StretchDib(100, 0, 50, 50, 0, 0, 8, 8, mono, 0x008800C6);
    b.StretchDib(100, 0, 50, 50, 0, 0, 8, 8, mono, 0x00EE0086);
    b.StretchDib(100, 0, 50, 50, 0, 0, 8, 8, mono, 0x00660046);
    b.StretchDib(100, 0, 50, 50, 0, 0, 8, 8, mono, 0x00330008);
    b.Raw(0x0B41,
          WmfBuild::DWord(0x00CC0020) + WmfBuild::Words({2, 2, 0, 0, 40, 40, 150, 150}) + dib24);
    b.Raw(0x0B41, WmfBuild::DWord(0x00F00021) + WmfBuild::Words({2, 2, 0, 0, 0, 40, 40, 150, 150}));
    b.Raw(0x0940, WmfBuild::DWord(0x00CC0020) + WmfBuild::Words({0, 0, 2, 2, 160, 160}) + dib24);
    b.Raw(0x0940, WmfBuild::DWord(0x005A0049) + WmfBuild::Words({0, 0, 0, 20, 20, 160, 160}));
    b.Raw(0x0D33, WmfBuild::Words({0, 2, 0, 0, 0, 2, 2, 170, 170}) + dib24);
    b.Raw(0x061D, WmfBuild::DWord(0x00550009) + WmfBuild::Words({10, 10, 180, 180}));
    b.Raw(0x061D, WmfBuild::DWord(0x00000042) + WmfBuild::Words({5, 5, 190, 190}));
    b.Raw(0x0922, WmfBuild::DWord(0x00FF0062) + WmfBuild::Words({0, 0, 0, 5, 5, 195, 195}));
    b.Rec(0x0228, {6, 3}).Rec(0x012B, {6}).Rec(0x0429, {6, 3, 1, 1}).Rec(0x012A, {6});
    b.Rec(0x0626, {15, 4, 0, 0}).Rec(0x1234, {1, 2, 3});
    for (int i = 0; i < 8; ++i) b.Delete(i);
    return b.Placeable(0, 0, 200, 200, 1440);
}

QByteArray Organigram()
{
    TDiagData d;
    d.SetTop(ToCp1251("4 Структура"));
    d.AddLevel1(ToCp1251("4.1 Отдел"));
    d.AddLevel2(ToCp1251("4.1.1 Группа"));
    d.AddLevel1("4.2");
    return QByteArray::fromStdString(BuildOrganigramWmf(d));
}

TEST(WmfPlayerDamage, EveryTruncation)
{
    for (const QByteArray& file : {Everything(), Organigram()}) {
        EXPECT_TRUE(Survive(file, 200));
        for (qsizetype n = 0; n < file.size(); ++n) Survive(file.left(n));
    }
}

TEST(WmfPlayerDamage, ThousandsOfMutations)
{
    const QByteArray samples[] = {Everything(), Organigram()};
    std::mt19937 random(20240607);
    auto pick = [&random](int below) {
        return static_cast<int>(random() % static_cast<unsigned>(below));
    };
    static const quint16 extremes[] = {0, 1, 2, 3, 0x7FFF, 0x8000, 0xFFFF, 0xFFFE, 0x100};
    int parsed = 0;
    const int rounds = 4000;
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes = samples[round % 2];
        const int changes = 1 + pick(6);
        for (int c = 0; c < changes && bytes.size() > 4; ++c) {
            const int at = pick(static_cast<int>(bytes.size()) - 2) & ~1;
            switch (pick(4)) {
                case 0:
                    bytes[at + pick(2)] = static_cast<char>(pick(256));
                    break;
                case 1: {
                    const quint16 w = extremes[pick(9)];
                    bytes[at] = static_cast<char>(w & 0xFF);
                    bytes[at + 1] = static_cast<char>(w >> 8);
                    break;
                }
                case 2:
                    bytes.truncate(at + 2);
                    break;
                default:
                    bytes.insert(at,
                                 bytes.mid(pick(static_cast<int>(bytes.size())), 2 + 2 * pick(20)));
                    break;
            }
        }
        parsed += Survive(bytes, round % 7 == 0 ? 300 : 48);
    }
    // Most mutations leave a picture to draw.
    EXPECT_GT(parsed, rounds / 2);
}

TEST(WmfPlayerDamage, HostileCountsAndSizes)
{
    auto frame = [](WmfBuild& b) { return b.Placeable(0, 0, 100, 100, 96); };
    std::vector<std::pair<const char*, QByteArray>> cases;
    {
        WmfBuild b;
        b.Rec(0x0324, {0xFFFF, 0, 0, 10, 10});
        b.Rec(0x0538, {0xFFFF, 3, 3});
        b.Raw(0x06FF, WmfBuild::Words({0, 6, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0, 0xFFFF, 0, 0}));
        b.Rec(0x012D, {0xFFFF}).Rec(0x01F0, {0xFFFF}).Rec(0x012C, {0xFFFF});
        b.Raw(0x0521, WmfBuild::Words({0xFFFF}) + "abc");
        b.Raw(0x0A32, WmfBuild::Words({0, 0, 0xFFFF, 6, 0, 0, 1, 1}));
        cases.push_back({"counts beyond their records", frame(b)});
    }
    {
        // Bitmaps whose headers promise far more than the bytes hold.
        QByteArray huge =
            WmfBuild::DWord(40) + WmfBuild::DWord(0x7FFFFFFF) + WmfBuild::DWord(0x7FFFFFFF);
        huge += WmfBuild::Words({1, 24}) + QByteArray(24, '\0') + QByteArray(64, '\x55');
        QByteArray tall = WmfBuild::DWord(40) + WmfBuild::DWord(4000) + WmfBuild::DWord(4000);
        tall += WmfBuild::Words({1, 32}) + QByteArray(24, '\0') + QByteArray(16000, '\x55');
        QByteArray colors = WmfBuild::DWord(40) + WmfBuild::DWord(2) + WmfBuild::DWord(2);
        colors += WmfBuild::Words({1, 8}) + QByteArray(12, '\0') + WmfBuild::DWord(0xFFFFFFFF) +
                  QByteArray(4, '\0');
        WmfBuild b;
        b.StretchDib(0, 0, 100, 100, 0, 0, 0x7FFF, 0x7FFF, huge);
        b.StretchDib(0, 0, 100, 100, 0, 0, 4000, 4000, tall);
        b.StretchDib(0, 0, 100, 100, 0, 0, 2, 2, colors);
        b.Raw(0x0142, WmfBuild::Words({5, 1}) + huge);
        cases.push_back({"bitmaps", frame(b)});
    }
    {
        WmfBuild b;
        for (int i = 0; i < 70000; ++i) b.Pen(0, 1, 0);
        for (int i = 0; i < 3000; ++i) b.Rec(0x001E, {});
        b.Rec(0x0127, {0x8000}).Rec(0x0127, {0x7FFF}).Rec(0x0127, {2});
        cases.push_back({"full object table and deep saves", frame(b)});
    }
    {
        WmfBuild b;
        for (int y = 0; y < 100; y += 2)
            for (int x = 0; x < 100; x += 2) b.Rec(0x0415, {y + 1, x + 1, y, x});
        b.Brush(0, 0).Select(0).Rectangle(0, 0, 100, 100);
        cases.push_back({"a clip of thousands of holes", frame(b)});
    }
    {
        // A window of one unit makes every coordinate enormous.
        WmfBuild b;
        b.WindowExt(1, 1).Font(-32768, "Arial").Select(0).TextOut(0, 0, "far");
        b.Pen(1, 0, 0).Select(1).MoveTo(-32768, -32768).LineTo(32767, 32767);
        b.Rectangle(-32768, -32768, 32767, 32767).Ellipse(0, 0, 1, 1);
        b.StretchDib(0, 0, 32767, 32767, 0, 0, 1, 1,
                     WmfBuild::Dib(1, 1, 24, {}, {QByteArray(3, 'x')}));
        b.WindowExt(32767, 32767)
            .Rec(0x020E, {1, 1})
            .Font(32767, "Arial")
            .Select(2)
            .TextOut(0, 0, "tiny");
        cases.push_back({"extreme scales", frame(b)});
    }
    {
        QByteArray broken = WmfBuild().Rectangle(0, 0, 10, 10).Placeable(0, 0, 10, 10, 96);
        broken.replace(22 + 18, 4, WmfBuild::DWord(0xFFFFFFFF));
        cases.push_back({"a record larger than the file", broken});
        broken.replace(22 + 18, 4, WmfBuild::DWord(0));
        cases.push_back({"a record of no size", broken});
    }
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        Survive(bytes, 200);
    }
}

}  // namespace
}  // namespace orm
