// The organigram outside the program: PDF pages (also in place of printing without a
// printer), SVG and PNG pictures at their natural size, and the window's remembered size.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QSvgRenderer>
#include <memory>

#include "app/mainwindow.h"
#include "core/organigram/diagdata.h"
#include "core/text/cp1251.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/printer.h"
#include "gui/organigram/organigramwindow.h"
#include "support/fakeprompts.h"
#include "support/pdftools.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::TempDir;

TDiagData Chart()
{
    TDiagData d;
    d.SetTop(ToCp1251(std::string_view("1 Бизнес-направления")));
    for (int i = 1; i <= 3; ++i) {
        d.AddLevel1(ToCp1251("1." + std::to_string(i) + " Направление"));
        d.AddLevel2(ToCp1251("1." + std::to_string(i) + ".1 Продукт"));
    }
    return d;
}

// The box around the dark pixels.
QRect Ink(const QImage& image)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

class OrganigramExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                          QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        window = std::make_unique<OrganigramWindow>(prompts, nullptr, &printer);
        window->SetZoomIndex(3);  // 100 %
        window->BuildPicture(Chart());
        window->setWindowTitle(QStringLiteral("1 Бизнес-направления"));
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        SetPrinterInstalledForTesting(std::nullopt);
        EXPECT_TRUE(prompts.allAnswersUsed());
    }

    TempDir dir;
    test::FakePrompts prompts;
    QPrinter printer{QPrinter::HighResolution};
    std::unique_ptr<OrganigramWindow> window;
};

TEST_F(OrganigramExport, PdfIsThePagePrintingMakes)
{
    const QString printed = QString::fromStdString(dir.path("printed.pdf"));
    window->RunPrintDialog = [&](QPrinter& p) {
        p.setOutputFileName(printed);
        return true;
    };
    window->ActionPrint->trigger();
    printer.setOutputFileName(QString());

    const std::string path = dir.path("chart.pdf");
    prompts.queueSave(path);
    window->ActionExportPdf->trigger();
    const QString exported = QString::fromStdString(path);
    ASSERT_EQ(test::PdfPageCount(exported), 1);
    EXPECT_EQ(test::PdfPageTexts(exported), test::PdfPageTexts(printed));
    EXPECT_TRUE(test::PdfPageTexts(exported).first().contains(QStringLiteral("Бизнес-направления")));
    const QImage a = test::PdfPageImage(exported, 1, 100, QString::fromStdString(dir.path("a")));
    const QImage b = test::PdfPageImage(printed, 1, 100, QString::fromStdString(dir.path("b")));
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ(Ink(a), Ink(b));
    EXPECT_FALSE(Ink(a).isEmpty());
    EXPECT_EQ(prompts.dialogs.at(0).initialFileName, "1 Бизнес-направления.pdf");
}

TEST_F(OrganigramExport, WithoutAPrinterPrintingOffersThePdf)
{
    SetPrinterInstalledForTesting(false);
    OrganigramWindow fresh(prompts, nullptr, &printer);  // the real print dialog's seam
    fresh.BuildPicture(Chart());
    const std::string path = dir.path("offered.pdf");
    prompts.queueConfirm(true);
    prompts.queueSave(path);
    fresh.ActionPrint->trigger();
    EXPECT_EQ(prompts.shown.at(0),
              "confirm: Не установлен ни один принтер.\nСохранить страницы в файл PDF?");
    EXPECT_EQ(test::PdfPageCount(QString::fromStdString(path)), 1);

    prompts.queueConfirm(false);
    fresh.ActionPrint->trigger();
    EXPECT_EQ(prompts.dialogs.size(), 1u);
}

TEST_F(OrganigramExport, SvgAndPngHoldThePictureAtItsNaturalSize)
{
    const QSize natural = window->Picture()->SizeAtDpi(96, 96);
    prompts.queueSave(dir.path("chart.png"));
    window->ActionSave->trigger();
    const QImage png(QString::fromStdString(dir.path("chart.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), natural);
    EXPECT_EQ(window->windowTitle(), QString::fromStdString(dir.path("chart.png")));
    // The save dialog still offers the metafile first.
    ASSERT_EQ(prompts.dialogs.at(0).moreFilters.size(), 2u);
    EXPECT_EQ(prompts.dialogs.at(0).filterPatterns, "*.wmf");
    EXPECT_EQ(prompts.dialogs.at(0).moreFilters[0].patterns, "*.svg");

    // Whatever the zoom shown, the whole picture; the SVG draws what the PNG holds and is
    // titled by the chart's top text, not the window's caption (the file's path by now).
    window->SetZoomIndex(1);
    prompts.queueSave(dir.path("half.png"));
    window->ActionSave->trigger();
    const QImage half(QString::fromStdString(dir.path("half.png")));
    EXPECT_EQ(half.size(), natural);
    EXPECT_EQ(half, png);
    prompts.queueSave(dir.path("half.svg"));
    window->ActionSave->trigger();
    const QByteArray svg = TempDir::read(dir.path("half.svg")).c_str();
    EXPECT_TRUE(QString::fromUtf8(svg).contains(QStringLiteral("Направление")));
    EXPECT_TRUE(QString::fromUtf8(svg).contains(QStringLiteral("<title>1 Бизнес-направления</title>")))
        << svg.left(400).toStdString();
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    // Sized in millimetres for 96 dpi, the screen's pixels in the view box.
    EXPECT_EQ(renderer.viewBox(), QRect(QPoint(0, 0), half.size()));
    QImage drawn(half.size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    renderer.render(&painter);
    painter.end();
    const QRect a = Ink(drawn), b = Ink(half);
    EXPECT_FALSE(b.isEmpty());
    EXPECT_NEAR(a.left(), b.left(), 2);
    EXPECT_NEAR(a.top(), b.top(), 2);
    EXPECT_NEAR(a.right(), b.right(), 2);
    EXPECT_NEAR(a.bottom(), b.bottom(), 2);
    // Any other name is written as the metafile.
    prompts.queueSave(dir.path("chart.emf"));
    window->ActionSave->trigger();
    EXPECT_EQ(TempDir::read(dir.path("chart.emf")).substr(0, 4), "\xD7\xCD\xC6\x9A");
    EXPECT_TRUE(prompts.informs().empty());
}

TEST(OrganigramWindowSize, KeptInTheStateFileForTheNextWindow)
{
    TempDir dir;
    test::FakePrompts prompts;
    AppContext context;
    context.Settings.TitleTime = 0;
    context.Settings.SettingsFileName = dir.write("ormelit.INI", "[GRIDS]\r\nUSE_HINT=yes\r\n");
    context.State.FileName = dir.path("state.ini");
    MainWindow main(context, &prompts);
    {
        OrganigramWindow first(prompts, &main);
        EXPECT_EQ(first.size(), QSize(505, 390));  // as designed, never resized before
        first.show();
        first.resize(640, 450);
        first.ActionExit->trigger();
    }
    EXPECT_EQ(TempDir::read(context.State.FileName),
              "[WINDOWS]\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=450\r\n");
    EXPECT_EQ(TempDir::read(context.Settings.SettingsFileName), "[GRIDS]\r\nUSE_HINT=yes\r\n");
    OrganigramWindow second(prompts, &main);
    EXPECT_EQ(second.size(), QSize(640, 450));

    // A size kept on a larger screen is held within this one.
    context.State.OrganigramSize = {5000, 4000};
    OrganigramWindow third(prompts, &main);
    const QSize room = third.screen()->availableGeometry().size();
    EXPECT_LE(third.width(), room.width());
    EXPECT_LE(third.height(), room.height());
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace orm
