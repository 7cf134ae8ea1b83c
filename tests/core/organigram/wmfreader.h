#pragma once

// A small reader of placeable Windows metafiles, written from the published record layouts and
// independent of the writer. ParseWmf checks the framing; PlayWmf plays the records like a
// device would and insists on the object discipline other readers rely on. Both throw
// std::runtime_error on the first fault.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/organigram/drawn.h"

namespace orm::test {

struct WmfRecord {
    std::uint16_t function = 0;
    std::string params;

    std::uint16_t W(std::size_t i) const
    {
        if (2 * i + 2 > params.size()) throw std::runtime_error("record too short");
        return static_cast<std::uint16_t>(static_cast<unsigned char>(params[2 * i]) |
                                          static_cast<unsigned char>(params[2 * i + 1]) << 8);
    }
    std::int16_t S(std::size_t i) const { return static_cast<std::int16_t>(W(i)); }
    std::uint32_t D(std::size_t i) const
    {
        return W(i) | static_cast<std::uint32_t>(W(i + 1)) << 16;
    }
};

struct WmfFile {
    // placeable header
    std::uint32_t key = 0;
    std::uint16_t handle = 0;
    std::int16_t left = 0, top = 0, right = 0, bottom = 0;
    std::uint16_t inch = 0;
    std::uint32_t reserved = 0;
    std::uint16_t checksum = 0;
    std::uint16_t expectedChecksum = 0;  // XOR of the ten words before it
    // metafile header
    std::uint16_t type = 0, headerWords = 0, version = 0;
    std::uint32_t sizeWords = 0;
    std::uint16_t objects = 0;
    std::uint32_t maxRecordWords = 0;
    std::uint16_t members = 0;
    // every record, the end-of-file record last
    std::vector<WmfRecord> records;
    std::uint32_t largestRecordWords = 0;
};

inline WmfFile ParseWmf(const std::string& bytes)
{
    WmfRecord all;
    all.params = bytes;
    if (bytes.size() < 40 || bytes.size() % 2) throw std::runtime_error("bad file length");
    WmfFile f;
    f.key = all.D(0);
    f.handle = all.W(2);
    f.left = all.S(3);
    f.top = all.S(4);
    f.right = all.S(5);
    f.bottom = all.S(6);
    f.inch = all.W(7);
    f.reserved = all.D(8);
    f.checksum = all.W(10);
    for (std::size_t i = 0; i < 10; ++i) f.expectedChecksum ^= all.W(i);
    f.type = all.W(11);
    f.headerWords = all.W(12);
    f.version = all.W(13);
    f.sizeWords = all.D(14);
    f.objects = all.W(16);
    f.maxRecordWords = all.D(17);
    f.members = all.W(19);

    std::size_t pos = 22 + 2 * std::size_t{f.headerWords};
    for (;;) {
        if (pos + 6 > bytes.size()) throw std::runtime_error("no end-of-file record");
        const std::uint32_t words = all.D(pos / 2);
        if (words < 3 || pos + 2 * std::size_t{words} > bytes.size())
            throw std::runtime_error("record size out of range");
        WmfRecord r;
        r.function = all.W(pos / 2 + 2);
        r.params = bytes.substr(pos + 6, 2 * std::size_t{words} - 6);
        f.records.push_back(r);
        f.largestRecordWords = std::max(f.largestRecordWords, words);
        pos += 2 * std::size_t{words};
        if (r.function == 0) break;
    }
    if (pos != bytes.size()) throw std::runtime_error("bytes after the end-of-file record");
    return f;
}

struct Played {
    std::vector<Drawn> shapes;
    Coord windowX = -1, windowY = -1, windowWidth = -1, windowHeight = -1;
    std::size_t handleTableSize = 0;  // the most slots ever in use at once, plus free holes
    std::uint32_t textColor = 0xFFFFFFFF;
    int bkMode = -1;
};

inline Played PlayWmf(const WmfFile& f)
{
    enum Type { Pen, Brush, Font };
    struct Object {
        Type type;
        Coord pen = 0;
        SurfaceFont font;
    };
    struct Selection {
        int of[3] = {-1, -1, -1};
    };
    auto fail = [](const std::string& what) { throw std::runtime_error(what); };

    Played p;
    std::vector<std::optional<Object>> table;
    Selection sel;
    std::vector<Selection> saved;
    unsigned align = 0;
    Coord curX = 0, curY = 0;

    auto create = [&](Object o) {
        std::size_t i = 0;
        while (i < table.size() && table[i]) ++i;
        if (i == table.size()) table.emplace_back();
        table[i] = o;
        p.handleTableSize = std::max(p.handleTableSize, table.size());
    };
    auto selected = [&](Type t) -> const Object& {
        if (sel.of[t] < 0) fail("drawing with a default object");
        return *table[sel.of[t]];
    };

    for (const WmfRecord& r : f.records) {
        switch (r.function) {
            case 0x0000:
                for (const auto& o : table)
                    if (o) fail("object not deleted at the end");
                return p;
            case 0x020B:
                p.windowY = r.S(0), p.windowX = r.S(1);
                break;
            case 0x020C:
                p.windowHeight = r.S(0), p.windowWidth = r.S(1);
                break;
            case 0x001E:
                saved.push_back(sel);
                break;
            case 0x0127:
                if (r.S(0) != -1 || saved.empty()) fail("bad RestoreDC");
                sel = saved.back();
                saved.pop_back();
                break;
            case 0x0102:
                p.bkMode = r.W(0);
                break;
            case 0x0209:
                p.textColor = r.D(0);
                break;
            case 0x012E:
                align = r.W(0);
                break;
            case 0x02FA:
                if (r.W(0) != 0 || r.D(3) != 0) fail("pen not solid black");
                create({Pen, r.S(1), {}});
                break;
            case 0x02FC:
                if (r.W(0) != 0 || r.D(1) != 0xFFFFFF) fail("brush not solid white");
                create({Brush, 0, {}});
                break;
            case 0x02FB: {
                Object o{Font, 0, {}};
                o.font.height = r.S(0);
                const std::string& b = r.params;
                o.font.charSet = static_cast<std::uint8_t>(b.at(13));
                o.font.pitch = static_cast<FontPitch>(b.at(17) & 3);
                o.font.face = b.substr(18, b.find('\0', 18) - 18);
                if (o.font.face.size() > 31) fail("face name not terminated");
                create(o);
                break;
            }
            case 0x012D: {
                const std::size_t i = r.W(0);
                if (i >= table.size() || !table[i]) fail("selecting an empty slot");
                sel.of[table[i]->type] = static_cast<int>(i);
                break;
            }
            case 0x01F0: {
                const int i = r.W(0);
                if (i >= static_cast<int>(table.size()) || !table[i])
                    fail("deleting an empty slot");
                for (const Selection& s : saved)
                    for (int t : s.of)
                        if (t == i) fail("deleting an object of a saved state");
                for (int t : sel.of)
                    if (t == i) fail("deleting a selected object");
                table[i].reset();
                break;
            }
            case 0x041B:
                selected(Brush);
                p.shapes.push_back(RectAt(r.S(3), r.S(2), r.S(1), r.S(0), selected(Pen).pen));
                break;
            case 0x0214:
                curY = r.S(0), curX = r.S(1);
                break;
            case 0x0213:
                p.shapes.push_back(LineAt(curX, curY, r.S(1), r.S(0), selected(Pen).pen));
                curY = r.S(0), curX = r.S(1);
                break;
            case 0x0A32: {
                if (!(r.W(3) & 4)) fail("text not clipped");
                const std::size_t length = r.W(2);
                if (8 + 8 + length > r.params.size()) fail("text past its record");
                Drawn d{Drawn::Text, {r.S(4), r.S(5), r.S(6), r.S(7)},
                        r.S(1),      r.S(0),
                        0,           selected(Font).font,
                        align,       r.params.substr(16, length)};
                p.shapes.push_back(d);
                break;
            }
            default:
                fail("unexpected record " + std::to_string(r.function));
        }
    }
    fail("no end-of-file record");
    return p;
}

}  // namespace orm::test
