#include "gui/organigram/organigramwindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "core/organigram/diagdata.h"
#include "core/organigram/wmfwriter.h"
#include "core/text/cp1251.h"
#include "format/emfbuilder.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::TempDir;

TDiagData LoneBox()
{
    TDiagData d;
    d.SetTop(ToCp1251("4 Структурные звенья"));
    return d;
}

TDiagData Columns(int count)
{
    TDiagData d;
    d.SetTop(ToCp1251("1 Бизнес-направления"));
    for (int i = 1; i <= count; ++i) {
        d.AddLevel1(ToCp1251("1." + std::to_string(i) + " Направление"));
        d.AddLevel2(ToCp1251("1." + std::to_string(i) + ".1 Продукт"));
    }
    return d;
}

QString RunTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The bounding box, in pixels, of the dark pixels of the first page rendered at 254 dpi (10
// pixels per millimetre).
QRect InkOfPage(const QString& pdf, const QString& prefix)
{
    RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("254"), QStringLiteral("-gray"),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    const QImage image(prefix + QStringLiteral(".png"));
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160) ink |= QRect(x, y, 1, 1);
    return ink;
}

int PageCount(const QString& pdf)
{
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    const auto at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? 0 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

class OrganigramWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                          QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    }

    std::unique_ptr<OrganigramWindow> Open(const TDiagDataPrim& diagram)
    {
        auto window = std::make_unique<OrganigramWindow>(prompts, nullptr, &printer);
        window->SetZoomIndex(OrganigramWindow::kFitZoom);
        window->BuildPicture(diagram);
        window->show();
        QApplication::processEvents();
        return window;
    }

    // Prints through the print dialog seam into a PDF file with the given copies.
    QString Print(OrganigramWindow& window, int copies)
    {
        const QString pdf = QString::fromStdString(dir.path("out.pdf"));
        window.RunPrintDialog = [pdf, copies](QPrinter& p) {
            p.setOutputFileName(pdf);
            p.setCopyCount(copies);
            return true;
        };
        window.ActionPrint->trigger();
        return pdf;
    }

    void TearDown() override { EXPECT_TRUE(prompts.allAnswersUsed()); }

    TempDir dir;
    test::FakePrompts prompts;
    QPrinter printer{QPrinter::HighResolution};
};

TEST_F(OrganigramWindowTest, OpensFittedAndRefitsWhenResized)
{
    const auto window = Open(Columns(3));
    EXPECT_EQ(window->ZoomIndex(), OrganigramWindow::kFitZoom);
    for (int i = 0; i < OrganigramWindow::kZoomSteps; ++i)
        EXPECT_EQ(window->ZoomItems[i]->isChecked(), i == OrganigramWindow::kFitZoom);

    const QSize natural = window->Picture()->SizeAtDpi(96, 96);
    auto fitsSnugly = [&] {
        const QSize box = window->ScrollBox1->size() - QSize(6, 6);
        const QSize image = window->Image1->size();
        EXPECT_LE(image.width(), box.width());
        EXPECT_LE(image.height(), box.height());
        // One percent more would not fit: it is the largest whole percentage that does.
        EXPECT_TRUE(image.width() + natural.width() / 100 >= box.width() ||
                    image.height() + natural.height() / 100 >= box.height());
        EXPECT_NEAR(double(image.width()) / image.height(),
                    double(natural.width()) / natural.height(), 0.02);
        return image;
    };
    const QSize small = fitsSnugly();
    window->resize(1000, 800);
    QApplication::processEvents();
    const QSize large = fitsSnugly();
    EXPECT_GT(large.width(), small.width());

    // Other steps stay as they are when the window changes.
    window->SetZoomIndex(3);
    EXPECT_EQ(window->Image1->size(), natural);
    window->resize(600, 500);
    QApplication::processEvents();
    EXPECT_EQ(window->Image1->size(), natural);
}

TEST_F(OrganigramWindowTest, ZoomButtonStepsBothWaysAndWraps)
{
    const auto window = Open(LoneBox());
    const QSize natural = window->Picture()->SizeAtDpi(96, 96);
    EXPECT_EQ(natural, QSize(280, 83));  // 74 x 22 mm
    QToolButton* button = window->ToolButtonZoom;
    const QPoint face(4, button->height() / 2);  // not the arrow of the menu
    const int percents[] = {25, 50, 75, 100, 150, 200};
    auto expectStep = [&](int index) {
        EXPECT_EQ(window->ZoomIndex(), index);
        for (int i = 0; i < OrganigramWindow::kZoomSteps; ++i)
            EXPECT_EQ(window->ZoomItems[i]->isChecked(), i == index);
        if (index < OrganigramWindow::kFitZoom) {
            EXPECT_EQ(window->Image1->width(), qRound(natural.width() * percents[index] / 100.0));
        }
    };
    for (int step = 0; step < OrganigramWindow::kZoomSteps; ++step) {
        QTest::mouseClick(button, Qt::LeftButton, {}, face);
        expectStep(step);  // 25 %, 50 %, ... 200 %, fit
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, face);
    expectStep(0);
    QTest::mouseClick(button, Qt::RightButton, {}, face);
    expectStep(OrganigramWindow::kFitZoom);  // from 25 % back round to fit
    for (int step = 5; step >= 0; --step) {
        QTest::mouseClick(button, Qt::RightButton, {}, face);
        expectStep(step);
    }

    window->ZoomItems[4]->trigger();
    expectStep(4);
    EXPECT_EQ(window->Image1->size(), QSize(420, 125));
}

TEST_F(OrganigramWindowTest, TheScreenShowsThePicture)
{
    const auto window = Open(LoneBox());
    window->SetZoomIndex(3);
    QApplication::processEvents();
    const QImage shot = window->Image1->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(280, 83));
    // The box outline runs 2 mm (7.6 pixels) inside the picture's edges.
    const int middle = shot.height() / 2;
    EXPECT_LT(qGray(shot.pixel(7, middle)), 128);
    EXPECT_LT(qGray(shot.pixel(272, middle)), 128);
    EXPECT_GT(qGray(shot.pixel(3, middle)), 240);
    EXPECT_GT(qGray(shot.pixel(30, 15)), 240);

    // A repaint of a part (as when scrolled) draws what lies in that part: at 200 % the right
    // edge of the box is at x 544 and the text runs through the middle.
    window->SetZoomIndex(5);
    const QImage edge = window->Image1->grab(QRect(520, 60, 40, 40)).toImage();
    EXPECT_LT(qGray(edge.pixel(24, 20)), 128);
    EXPECT_GT(qGray(edge.pixel(5, 20)), 240);
    const QImage text = window->Image1->grab(QRect(200, 60, 160, 50)).toImage();
    int ink = 0;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x) ink += qGray(text.pixel(x, y)) < 128;
    EXPECT_GT(ink, 100);
}

TEST_F(OrganigramWindowTest, PrintsAtPhysicalSizeFiveMillimetresFromThePrintableCorner)
{
    const auto window = Open(LoneBox());
    const QString pdf = Print(*window, 1);
    ASSERT_EQ(PageCount(pdf), 1);
    // Margins 10 mm, the picture 5 mm further in: its corner at 15 mm. The box outline (pen
    // 0.6 mm on the box edges 2 mm inside the 74 x 22 mm picture) spans 16.7..87.3 mm across
    // and 16.7..35.3 mm down.
    const QRect ink = InkOfPage(pdf, QString::fromStdString(dir.path("page")));
    EXPECT_NEAR(ink.left(), 167, 2);
    EXPECT_NEAR(ink.right() + 1, 873, 2);
    EXPECT_NEAR(ink.top(), 167, 2);
    EXPECT_NEAR(ink.bottom() + 1, 353, 2);
    EXPECT_TRUE(RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")})
                    .contains(QStringLiteral("4 Структурные звенья")));

    // Copies are pages of one job; a cancelled dialog prints nothing.
    EXPECT_EQ(PageCount(Print(*window, 3)), 3);
    QFile::remove(pdf);
    window->RunPrintDialog = [](QPrinter&) { return false; };
    window->ActionPrint->trigger();
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(OrganigramWindowTest, AChartWiderThanThePageIsShrunkToIt)
{
    // 40 columns: 1444 x 70.5 mm, onto 190 mm of printable width less 10 mm; the height
    // shrinks with it.
    const auto window = Open(Columns(40));
    EXPECT_EQ(window->Picture()->PhysicalSizeMm(), QSizeF(1444, 70.5));
    const QString pdf = Print(*window, 1);
    const QRect ink = InkOfPage(pdf, QString::fromStdString(dir.path("wide")));
    const double scale = 180.0 / 1444;  // pixels (0.1 mm) per unit (0.1 mm)
    EXPECT_NEAR(ink.left(), 150 + 17 * scale, 2);
    EXPECT_NEAR(ink.right() + 1, 150 + (14440 - 17) * scale, 2);
    EXPECT_NEAR(ink.top(), 150 + 17 * scale, 2);
    EXPECT_NEAR(ink.bottom() + 1, 150 + (705 - 17) * scale, 2);
}

TEST_F(OrganigramWindowTest, SavedPictureLoadsAgainAtTheSameSize)
{
    const TDiagData chart = Columns(3);
    const auto first = Open(chart);
    first->setWindowTitle(QStringLiteral("1 Бизнес-направления"));
    const std::string path = dir.path("chart.wmf");

    prompts.queueSave(std::nullopt);
    first->ActionSave->trigger();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("1 Бизнес-направления"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    prompts.queueSave(path);
    first->ActionSave->trigger();
    EXPECT_EQ(first->windowTitle().toStdString(), path);
    EXPECT_EQ(TempDir::read(path), BuildOrganigramWmf(chart));
    const FileDialogSpec& save = prompts.dialogs.back();
    EXPECT_EQ(ToUtf8(save.title), "Запись файла");
    EXPECT_EQ(ToUtf8(save.filterName), "Метафайл");
    EXPECT_EQ(save.filterPatterns, "*.wmf");
    EXPECT_EQ(save.defaultExtension, "wmf");
    EXPECT_EQ(save.initialFileName, "");

    const auto second = Open(LoneBox());
    prompts.queueOpen(std::nullopt);
    second->ActionLoad->trigger();
    EXPECT_EQ(second->Picture()->PhysicalSizeMm(), QSizeF(74, 22));
    prompts.queueOpen(path);
    second->ActionLoad->trigger();
    EXPECT_EQ(ToUtf8(prompts.dialogs.back().title), "Открытие файла");
    EXPECT_EQ(second->windowTitle().toStdString(), path);
    EXPECT_EQ(second->Picture()->PhysicalSizeMm(), first->Picture()->PhysicalSizeMm());
    EXPECT_EQ(second->Picture()->PlaceableBytes(), first->Picture()->PlaceableBytes());
    // The loaded picture is shown at the current step at once.
    EXPECT_EQ(second->ZoomIndex(), OrganigramWindow::kFitZoom);
    EXPECT_EQ(second->Image1->size(), first->Image1->size());
    EXPECT_TRUE(prompts.informs().empty());
}

TEST_F(OrganigramWindowTest, UnreadableFilesKeepTheOldPicture)
{
    const auto window = Open(LoneBox());
    const QByteArray before = window->Picture()->PlaceableBytes();
    const QSize shown = window->Image1->size();

    const std::string bad = dir.write("notes.wmf", "These are notes, not a picture.\n");
    prompts.queueOpen(bad);
    window->ActionLoad->trigger();
    const std::string missing = dir.path("missing.wmf");
    prompts.queueOpen(missing);
    window->ActionLoad->trigger();
    const std::string unwritable = dir.path("no/such/folder/chart.wmf");
    prompts.queueSave(unwritable);
    window->ActionSave->trigger();

    EXPECT_EQ(prompts.informs(),
              (std::vector<std::string>{
                  "Файл \"" + bad + "\" не является метафайлом Windows или поврежден.",
                  "Не удается открыть файл \"" + missing + "\".",
                  "Не удается записать файл \"" + unwritable + "\"."}));
    // The caption follows the chosen path even so; the picture stays.
    EXPECT_EQ(window->windowTitle().toStdString(), unwritable);
    EXPECT_EQ(window->Picture()->PlaceableBytes(), before);
    EXPECT_EQ(window->Image1->size(), shown);
}

TEST_F(OrganigramWindowTest, ShowOrganigramIsModalAndEscapeClosesIt)
{
    QString title;
    int zoom = -1;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<OrganigramWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        title = window->windowTitle();
        zoom = window->ZoomIndex();
        modal = window->isModal();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    failsafe.start(5000);
    ShowOrganigram(Columns(2), QStringLiteral("1 Бизнес-направления"), nullptr, prompts, &printer);
    EXPECT_TRUE(failsafe.isActive()) << "the window did not close on Escape";
    EXPECT_EQ(title, QStringLiteral("1 Бизнес-направления"));
    EXPECT_EQ(zoom, OrganigramWindow::kFitZoom);
    EXPECT_TRUE(modal);
}

TEST_F(OrganigramWindowTest, OtherKindsOfPictureShowLikeAMetafileAndSaveAsTheyWere)
{
    const auto window = Open(LoneBox());
    test::EmfBuilder emf(300, 200);
    emf.createBrush(1, 0, test::EmfBuilder::rgb(0, 0, 255)).select(1).rectangle(150, 0, 300, 200);
    const QByteArray bytes = emf.finish();
    // A name that says nothing about the kind: it is read by content.
    const std::string path = dir.write("chart.wmf", bytes.toStdString());
    prompts.queueOpen(path);
    window->ActionLoad->trigger();
    EXPECT_TRUE(prompts.informs().empty());
    EXPECT_FALSE(window->Picture());
    window->SetZoomIndex(3);
    EXPECT_EQ(window->Image1->size(), QSize(300, 200));
    const QImage shown = window->Image1->grab().toImage();
    EXPECT_EQ(shown.pixelColor(225, 100), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(75, 100), QColor(Qt::white));

    const std::string copy = dir.path("copy.emf");
    prompts.queueSave(copy);
    window->ActionSave->trigger();
    EXPECT_EQ(test::TempDir::read(copy), bytes.toStdString());
}

TEST_F(OrganigramWindowTest, TheWholePictureStepNeverBringsScrollBars)
{
    // A wide chart at a small scale: a whole percent more is many pixels.
    const auto window = Open(Columns(40));
    for (int width = 300; width <= 700; width += 13) {
        window->resize(width, width * 3 / 4);
        QApplication::processEvents();
        EXPECT_FALSE(window->ScrollBox1->horizontalScrollBar()->isVisible()) << width;
        EXPECT_FALSE(window->ScrollBox1->verticalScrollBar()->isVisible()) << width;
    }
}

}  // namespace
}  // namespace orm
