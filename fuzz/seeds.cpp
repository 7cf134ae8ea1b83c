// Seed inputs, all made by this program's own writers and generators: the project generator of
// the benchmarks, the project writer, the settings writer, ormelit-cli's reports (RTF) and
// organigrams (WMF), the RTF writer, and the byte-by-byte metafile and picture builders of the
// format tests.

#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "cli/commands.h"
#include "core/model/project.h"
#include "core/settings/inifile.h"
#include "core/text/cp1251.h"
#include "format/emfbuilder.h"
#include "format/picturefiles.h"
#include "format/rtfreader.h"
#include "format/rtfwriter.h"
#include "format/wmfbuild.h"
#include "fuzz/fuzztargets.h"
#include "projectgen.h"

namespace orm::fuzz {

namespace {

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

std::string bytes(const QByteArray& b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// A small project made through the tree's own operations: a deep chain, a wide level, Cyrillic
// names and links in both directions.
std::string handMadeProject()
{
    TMainTreeList project;
    project.SetName(text("Проект"));
    TTreeList* node = project.Child(0);
    for (int depth = 0; depth < 12; ++depth)
        node = node->AddChild(text("Звено ") + std::to_string(depth));
    TTreeList* wide = project.Child(1);
    for (int i = 0; i < 12; ++i)
        wide->AddChild("p" + std::to_string(i));
    TTreeList* unit = project.Child(3)->AddChild(text("Отдел"));
    unit->AddChild("u1")->Link(wide->Child(3));
    unit->Link(node);
    wide->Child(0)->Link(unit);
    return project.ProjectFileText();
}

std::vector<std::string> generatedProjects()
{
    std::vector<std::string> out{handMadeProject()};
    for (const auto& [items, seed] : {std::pair{8, 1u}, {40, 2u}, {150, 3u}})
        out.push_back(bench::GenerateProject(items, seed)->ProjectFileText());
    return out;
}

// What ormelit-cli writes to standard output for args on the project text.
std::string cliOutput(const std::string& project, std::vector<std::string> args)
{
    // In the run's own temporary folder, which the fuzz script removes however the run ends.
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/ormelit-fuzz-seed-" +
                             std::to_string(::getpid()) + ".ovx";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(project.data(), 1, project.size(), f);
        std::fclose(f);
    }
    for (std::string& a : args)
        if (a == "P")
            a = path;
    std::ostringstream out;
    std::ostringstream err;
    cli::Run(args, out, err);
    std::remove(path.c_str());
    return out.str();
}

std::vector<Seed> projectSeeds()
{
    std::vector<Seed> out;
    int n = 0;
    for (const std::string& p : generatedProjects())
        out.push_back({"project-" + std::to_string(++n), p});
    return out;
}

std::vector<Seed> settingsSeeds()
{
    // The program's own keys, written through the settings writer into an empty file.
    IniFile ini;
    ini.SetValue("GRIDS", "USE_HINT", "True");
    ini.SetValue("GRIDS", "SELECT_UNBIND", "False");
    ini.SetValue("REPORTS", "OUTFILE_FORMAT", "RTF");
    ini.SetValue("REPORTS", "USE_INFORMATION", "True");
    ini.SetValue("BACKGROUND", "COLOR", "clBtnFace");
    ini.SetValue("BACKGROUND", "PICTURE", "fon.bmp");
    ini.SetValue("BACKGROUND", "PERCENT", "50");
    ini.SetValue("TITLE", "PICTURE", "title.bmp");
    ini.SetValue("TITLE", "TIME", "3");
    ini.SetValue("ABOUT", "PERCENT", "100");
    ini.SetValue("APPLICATION", "CAPTION", text("Ормелит"));
    ini.SetValue("APPLICATION", "FONT", "Arial,10");
    ini.SetValue("EXTRAMENU1", "NAME", text("Калькулятор"));
    ini.SetValue("EXTRAMENU1", "POSITION", "2.1");
    ini.SetValue("EXTRAMENU1", "FILE", "calc");
    ini.SetValue("EXTRAMENU2", "NAME", "Notes");
    ini.SetValue("EXTRAMENU2", "POSITION", "1.2.1");
    ini.SetValue("EXTRAMENU2", "PARAM", "\"a b\" c");
    ini.SetValue("Help", "HelpFileName", "help.html");
    ini.SetValue("Help", "TF_Main", "main;start");
    ini.SetValue("Help", "EnableAddNotFound", "1");
    const std::string file = ini.Bytes();
    std::string lf = file;
    std::erase(lf, '\r');
    return {
        {"settings-write", "GRIDS\nUSE_HINT\nFalse\n" + file},
        {"settings-new-key", "REPORTS\nNEW_KEY\n7\n" + file},
        {"settings-new-section", text("Раздел\nКлюч\nзначение\n") + file},
        {"settings-remove", "BACKGROUND\nCOLOR\n-\n" + lf},
        {"settings-empty", "A\nB\nC\n"},
    };
}

std::vector<Seed> cliSeeds()
{
    const std::vector<std::string> projects = generatedProjects();
    const std::string& small = projects[1];
    const std::string& hand = projects[0];
    return {
        {"cli-resave", "resave\nP\n--output\nout.ovx\n\n" + small},
        {"cli-report-txt", "report\nP\n1\n\n" + small},
        {"cli-report-rtf", "report\nP\n3\n--format\nrtf\n--info\n\n" + small},
        {"cli-report-param", "report\nP\n5\n--param\n1=2.1:1\n--output\nr.rtf\n\n" + hand},
        {"cli-organigram", "organigram\nP\n4.1\n--output\no.wmf\n\n" + hand},
        {"cli-help", "--help\n\n"},
    };
}

std::vector<Seed> rtfSeeds()
{
    std::vector<Seed> out;
    // Reports as ormelit-cli writes them.
    const std::string project = generatedProjects()[2];
    for (const int n : {1, 2, 4, 7, 10, 12}) {
        std::string rtf = cliOutput(project, {"report", "P", std::to_string(n), "--format", "rtf"});
        if (!rtf.empty())
            out.push_back({"rtf-report-" + std::to_string(n), std::move(rtf)});
    }
    // A document of every kind of formatting the writer knows, through the writer.
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    italic.setForeground(QColor(200, 0, 0));
    QTextCharFormat small;
    small.setFontPointSize(7);
    small.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    small.setFontFamilies({QStringLiteral("Courier New")});
    cursor.insertText(QStringLiteral("Заголовок "), bold);
    cursor.insertText(QStringLiteral("курсив\tтаб"), italic);
    cursor.insertText(QStringLiteral("2 €"), small);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setLeftMargin(20);
    centred.setTopMargin(6);
    cursor.insertBlock(centred);
    cursor.insertText(QStringLiteral("Ünïcødé ∑ 漢"));
    QTextTable* table = cursor.insertTable(2, 3);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            table->cellAt(r, c).firstCursorPosition().insertText(QString::number(r * 3 + c));
    table->mergeCells(1, 0, 1, 2);
    out.push_back({"rtf-formats", WriteRtf(document)});
    // What a word processor's document keeps through the writer: notes, a header, fields, a
    // section of its own, merged, shaded and nested cells and the picture of a shape.
    QTextDocument parts;
    ReadRtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Times New Roman Cyr;}}{\\colortbl;\\red9\\green9"
            "\\blue90;}\\aftnnrlc{\\header\\pard H {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}\\par}"
            "\\pard A{\\super\\chftn}{\\footnote{\\super\\chftn} F}B{\\chftn}{\\footnote\\ftnalt"
            "{\\chftn} E}{\\field{\\*\\fldinst HYPERLINK \"http://a/\"}{\\fldrslt L\\par M}}\\par"
            "\\trowd\\trleft-108\\clvmgf\\clcbpat1\\cellx900\\clshdng2000\\clvertalc\\cellx1800"
            "\\pard\\intbl a\\cell\\pard\\intbl\\itap2 n\\nestcell{\\*\\nesttableprops\\trowd"
            "\\cellx400\\nestrow}\\pard\\intbl b\\cell\\row\\trowd\\clvmrg\\cellx900\\cellx1800"
            "\\pard\\intbl\\cell c\\cell\\row\\pard\\sect\\sectd\\lndscpsxn S{\\shp{\\*\\shpinst"
            "\\shpright300\\shpbottom300{\\sp{\\sn pib}{\\sv{\\pict\\dibitmap0 28000000010000000100"
            "0000010018000000000004000000000000000000000000000000000000000000ff00}}}}}\\par}",
            parts);
    out.push_back({"rtf-parts", WriteRtf(parts)});
    return out;
}

std::vector<Seed> wmfSeeds()
{
    std::vector<Seed> out;
    const std::vector<std::string> projects = generatedProjects();
    for (const char* item : {"4.1", "4.1.1"}) {
        std::string wmf = cliOutput(projects[0], {"organigram", "P", item});
        if (!wmf.empty())
            out.push_back({std::string("wmf-organigram-") + item, std::move(wmf)});
    }
    std::string wmf = cliOutput(projects[3], {"organigram", "P", "4.1"});
    if (!wmf.empty())
        out.push_back({"wmf-organigram-generated", std::move(wmf)});
    using test::Rgb;
    using test::WmfBuild;
    WmfBuild b;
    b.MapMode(8).WindowOrg(0, 0).WindowExt(200, 100);
    b.Pen(0, 2, Rgb(200, 0, 0)).Select(0).Brush(2, Rgb(0, 0, 200), 3).Select(1);
    b.Rectangle(10, 10, 90, 60).Ellipse(100, 10, 190, 90).MoveTo(0, 0).LineTo(200, 100);
    b.Font(-14, "Arial").Select(2).TextColor(Rgb(0, 128, 0)).BkMode(1);
    b.ExtTextOut(20, 70, 4, {15, 65, 120, 90}, text("Текст").c_str(), {7, 7, 7, 7, 7});
    const QByteArray dib =
        WmfBuild::Dib(2, 2, 24, {}, {QByteArray(6, '\x40'), QByteArray(6, '\xC0')});
    b.StretchDib(150, 60, 40, 30, 0, 0, 2, 2, dib);
    b.Delete(0);
    out.push_back({"wmf-records-placeable", bytes(b.Placeable(0, 0, 200, 100, 96))});
    out.push_back({"wmf-records-plain", bytes(b.Plain())});
    return out;
}

std::vector<Seed> emfSeeds()
{
    using test::EmfBuilder;
    EmfBuilder shapes(120, 80);
    shapes.createPen(1, 0, 3, EmfBuilder::rgb(255, 0, 0))
        .select(1)
        .createBrush(2, 2, EmfBuilder::rgb(0, 0, 255), 4)
        .select(2)
        .rectangle(5, 5, 60, 40)
        .ellipse(60, 10, 115, 75)
        .moveTo(0, 0)
        .lineTo(120, 80)
        .poly(86, {{0, 70}, {30, 50}, {60, 70}})
        .polyPolygon(91, {{{70, 5}, {90, 5}, {80, 20}}, {{95, 5}, {115, 5}, {105, 20}}})
        .deleteObject(1)
        .selectStock(0);
    EmfBuilder mapped(100, 100);
    mapped.saveDc()
        .mapMode(8)
        .windowExt(1000, 1000)
        .viewportExt(100, -100)
        .viewportOrg(0, 100)
        .intersectClip(0, 0, 800, 800)
        .excludeClip(100, 100, 200, 200)
        .rectangle(0, 0, 900, 900)
        .record(59, {})
        .moveTo(10, 10)
        .lineTo(500, 10)
        .lineTo(10, 500)
        .record(61, {})
        .record(60, {})
        .record(63, {0, 0, -1, -1})
        .restoreDc(-1);
    EmfBuilder words(200, 60);
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    words.createFont(3, -16, QStringLiteral("Arial"), 700)
        .select(3)
        .record(24, {qint32(EmfBuilder::rgb(0, 0, 128))})
        .textOut(5, 5, QStringLiteral("Текст EMF"), 0, QRect(), {9, 9, 9, 9, 9, 9, 9, 9, 9})
        .textOut(5, 30, QStringLiteral("clip"), 4, QRect(5, 30, 40, 20))
        .stretchDib(QRect(150, 10, 30, 20), image);
    return {{"emf-shapes", bytes(shapes.finish())},
            {"emf-mapped", bytes(mapped.finish())},
            {"emf-text", bytes(words.finish())}};
}

std::vector<Seed> pictureSeeds()
{
    std::vector<Seed> out;
    for (const int bits : {1, 4, 8, 24, 32})
        for (const bool topDown : {false, true})
            out.push_back({"bmp-" + std::to_string(bits) + (topDown ? "-down" : "-up"),
                           "B" + bytes(test::bmpFile(bits, 5, 3, topDown))});
    // The first byte is odd for an icon.
    out.push_back({"ico-16", "I" + bytes(test::icoFile(16))});
    out.push_back({"ico-3", "I" + bytes(test::icoFile(3))});
    return out;
}

}  // namespace

std::vector<Seed> Seeds(const std::string& target)
{
    if (target == "project")
        return projectSeeds();
    if (target == "settings")
        return settingsSeeds();
    if (target == "cli")
        return cliSeeds();
    if (target == "rtf")
        return rtfSeeds();
    if (target == "wmf")
        return wmfSeeds();
    if (target == "emf")
        return emfSeeds();
    if (target == "picture")
        return pictureSeeds();
    return {};
}

const std::vector<Target>& Targets()
{
    static const std::vector<Target> targets{
        {"project", Project, false}, {"settings", Settings, false}, {"cli", Cli, false},
        {"rtf", Rtf, true},          {"wmf", Wmf, true},            {"emf", Emf, true},
        {"picture", Picture, true},
    };
    return targets;
}

const Target* FindTarget(const std::string& name)
{
    for (const Target& t : Targets())
        if (name == t.Name)
            return &t;
    return nullptr;
}

}  // namespace orm::fuzz
