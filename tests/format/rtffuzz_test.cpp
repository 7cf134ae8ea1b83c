// Damaged and hostile RTF: the reader must return, quickly, whatever it is given; and what it
// returns must go through the writer and back.

#include <gtest/gtest.h>

#include <random>

#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

void readAndRewrite(const std::string& bytes)
{
    QTextDocument doc;
    if (!ReadRtf(bytes, doc))
        return;
    QTextDocument again;
    ASSERT_TRUE(ReadRtf(WriteRtf(doc), again));
    WritePlainText(again);
}

std::string repeat(const std::string& s, size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (size_t k = 0; k < n; ++k)
        out += s;
    return out;
}

}  // namespace

TEST(RtfFuzz, MutatedDocumentsNeverCrashOrHang)
{
    const std::vector<std::string> seeds = {
        ReportDocumentBytes({{ParaStyle::Title, "Отчет"},
                             {ParaStyle::Heading, "I. Раздел"},
                             {ParaStyle::Level2, "1.1 Пункт {a}\\b"}}),
        DataFile("word.rtf"), DataFile("wordpad.rtf"), DataFile("libreoffice.rtf")};
    const std::vector<std::string> tokens = {"{",
                                             "}",
                                             "\\",
                                             "\\'",
                                             "\\'f",
                                             "\\u-",
                                             "\\u99999",
                                             "\\uc7",
                                             "\\bin",
                                             "\\bin7 ",
                                             "\\par",
                                             "\\cell",
                                             "\\row",
                                             "\\trowd",
                                             "\\cellx",
                                             "\\intbl",
                                             "\\nestcell",
                                             "\\page",
                                             "\\*",
                                             "{\\*\\x ",
                                             "{\\pict ",
                                             "\\f",
                                             "\\fs",
                                             "\\fonttbl",
                                             "\\colortbl",
                                             "\\upr",
                                             "\\ud",
                                             ";",
                                             "\\li-",
                                             "\\fi",
                                             "\\tx",
                                             "9999999999999",
                                             "-",
                                             "\\line",
                                             std::string(1, '\0')};
    std::mt19937 random(20240507);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % std::max<size_t>(n, 1)); };
    for (int round = 0; round < 3000; ++round) {
        std::string s = seeds[static_cast<size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(pick(8));
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const size_t at = pick(s.size());
            switch (pick(6)) {
            case 0:
                s[at] = static_cast<char>(random());
                break;
            case 1:
                s.insert(at, tokens[pick(tokens.size())]);
                break;
            case 2:
                s.erase(at, pick(64));
                break;
            case 3:
                s.resize(std::max<size_t>(at, 5));
                break;
            case 4:
                s.insert(at, s.substr(pick(s.size()), pick(200)));
                break;
            default:
                for (size_t k = at; k < std::min(s.size(), at + 16); ++k)
                    s[k] = static_cast<char>(random());
                break;
            }
        }
        SCOPED_TRACE(round);
        readAndRewrite(s);
        if (HasFatalFailure())
            return;
    }
}

TEST(RtfFuzz, PathologicalInputsStayBounded)
{
    const std::string head = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}";
    const std::vector<std::string> inputs = {
        head + std::string(1000000, '{') + "deep" + std::string(1000000, '}'),
        head + std::string(1000000, '}') + "after",
        head + repeat("{\\*\\x ", 100000),
        head + "\\fs" + std::string(100000, '9') + " huge\\li-99999999999 x\\par}",
        head + "\\u-99999999999 \\u70000 \\uc999999999\\u65 abc\\par}",
        head + "\\bin999999999999 abc",
        head + "\\bin-5 abc\\'",
        head + "\\'4",
        head + "\\",
        head + std::string(100000, '\0') + "\\par}",
        // Many cells from few bytes: the table is capped, not the text.
        head + "\\trowd" + repeat("\\cellx99", 200) + repeat("\\pard\\intbl x\\cell\\row", 50000),
        head + "\\trowd\\cellx1" + repeat("\\cell", 100000) + "\\row}",
        head + repeat("\\tx100", 1000) + repeat("\\par", 100000) + "}",
        head + "{\\colortbl" + repeat("\\red999;", 100000) + "}\\cf99999 x}",
        head + "}trailing text after the document",
    };
    for (size_t k = 0; k < inputs.size(); ++k) {
        SCOPED_TRACE(k);
        QTextDocument doc;
        ASSERT_TRUE(ReadRtf(inputs[k], doc));
        WriteRtf(doc);
    }
}
