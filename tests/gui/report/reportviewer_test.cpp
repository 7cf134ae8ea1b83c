#include "gui/report/reportviewer.h"

#include <gtest/gtest.h>

#include "gui/kit/printer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <deque>

#include <QBuffer>
#include <QStatusBar>

#include "core/report/reportgen.h"
#include "format/rtfdocument.h"
#include "format/rtftest.h"
#include "format/rtfwriter.h"
#include "gui/report/fakedialogs.h"
#include "support/fakeprompts.h"

using namespace orm;
using namespace orm::test;

namespace {

const std::vector<StyledLine> kReport = {
    {ParaStyle::Title, "Положение об организационной структуре"},
    {ParaStyle::Subject, "ООО «Ромашка»"},
    {ParaStyle::Heading, "I. Структурные подразделения"},
    {ParaStyle::Level1, "4.1 Дирекция"},
    {ParaStyle::Level2, "4.1.1 Отдел закупок"},
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override
    {
        EXPECT_TRUE(prompts.allAnswersUsed());
        EXPECT_TRUE(dialogs.answers.empty());
    }

    std::unique_ptr<ReportViewer> open(bool rtf, const char* caption)
    {
        auto viewer = std::make_unique<ReportViewer>(prompts, &dialogs);
        viewer->SetPlainText(!rtf);
        viewer->LoadDocument(ReportDocumentBytes(kReport, rtf));
        viewer->setWindowTitle(U(caption));
        return viewer;
    }

    QString path(const char* name) const { return dir.filePath(U(name)); }

    static std::string readFile(const QString& name)
    {
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        return f.readAll().toStdString();
    }
    static void writeFile(const QString& name, const std::string& bytes)
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    QTemporaryDir dir;
    FakePrompts prompts;
    FakeDialogs dialogs;
};

// A report of n numbered paragraphs, as the report writer makes it.
std::string longReport(int n)
{
    std::string rtf(RtfFragment(kRtfHead));
    for (int k = 0; k < n; ++k) {
        const auto style = k % 3 == 0 ? ParaStyle::Level1 : ParaStyle::Level2;
        rtf += RtfFragment(static_cast<int>(style) + 2);
        rtf += ToCp1251("4.1." + std::to_string(k) + " Подразделение номер " + std::to_string(k));
        rtf += RtfFragment(kRtfParEnd);
    }
    rtf += RtfFragment(kRtfTail);
    return rtf;
}

// Lets the event loop run until the viewer has read all of its document.
void waitForLoad(ReportViewer& viewer)
{
    for (int turns = 0; viewer.Loading() && turns < 100000; ++turns)
        QApplication::processEvents();
    EXPECT_FALSE(viewer.Loading());
}

}  // namespace

TEST_F(ViewerTest, ShowReportViewerShowsTheReportModallyUntilEscape)
{
    ReportDocument document{ReportDocumentBytes(kReport), true, ToCp1251("Положение.RTF")};
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* viewer = qobject_cast<ReportViewer*>(QApplication::activeModalWidget());
        ASSERT_NE(viewer, nullptr);
        seen = true;
        EXPECT_EQ(viewer->windowTitle(), U("Положение.RTF"));
        EXPECT_EQ(viewer->size(), QSize(500, 394));
        EXPECT_FALSE(viewer->PlainText());
        EXPECT_EQ(TopTexts(*viewer->RichEdit1->document())[0], U(kReport[0].Text.c_str()));
        EXPECT_TRUE(viewer->RichEdit1->isReadOnly());
        // Word wrap starts off; the action turns it on and checks itself, and back.
        EXPECT_EQ(viewer->RichEdit1->lineWrapMode(), QTextEdit::NoWrap);
        EXPECT_FALSE(viewer->ActionWordWrap->isChecked());
        viewer->ActionWordWrap->trigger();
        EXPECT_EQ(viewer->RichEdit1->lineWrapMode(), QTextEdit::WidgetWidth);
        EXPECT_TRUE(viewer->ActionWordWrap->isChecked());
        viewer->ActionWordWrap->trigger();
        EXPECT_FALSE(viewer->ActionWordWrap->isChecked());
        QTest::keyClick(viewer->RichEdit1, Qt::Key_Escape);
    });
    ShowReportViewer(document, nullptr, prompts, &dialogs);
    EXPECT_TRUE(seen);
}

TEST_F(ViewerTest, PlainReportShowsItsTextInTheBoldViewFont)
{
    const auto viewer = open(false, "Положение.TXT");
    const QTextDocument* doc = viewer->RichEdit1->document();
    EXPECT_EQ(TopTexts(*doc)[4], U("    4.1.1 Отдел закупок"));
    EXPECT_TRUE(doc->defaultFont().bold());
    // Its plain text is the report's bytes again.
    EXPECT_EQ(WritePlainText(*doc), ReportDocumentBytes(kReport, false));
}

TEST_F(ViewerTest, SaveAsRtfWritesTheViewAndTakesThePathAsCaption)
{
    const auto viewer = open(true, "Положение.RTF");
    dialogs.answers.push_back(SaveAsAnswer{path("отчет.rtf"), ReportFileType::Rtf});
    viewer->ActionSave->trigger();
    ASSERT_EQ(dialogs.saves.size(), 1u);
    EXPECT_EQ(dialogs.saves[0].title, U("Запись файла"));
    EXPECT_EQ(dialogs.saves[0].fileName, U("Положение.RTF"));
    EXPECT_EQ(dialogs.saves[0].defaultExtension, U("RTF"));
    EXPECT_EQ(dialogs.saves[0].type, ReportFileType::Rtf);
    EXPECT_EQ(viewer->windowTitle(), path("отчет.rtf"));
    EXPECT_FALSE(viewer->PlainText());
    const auto saved = ReadDocument(readFile(path("отчет.rtf")));
    EXPECT_EQ(TopTexts(*saved), TopTexts(*viewer->RichEdit1->document()));
}

TEST_F(ViewerTest, SaveAsTxtWritesPlainTextAndSwitchesToPlainMode)
{
    const auto viewer = open(true, "Положение.RTF");
    dialogs.answers.push_back(SaveAsAnswer{path("отчет.txt"), ReportFileType::Txt});
    viewer->SaveDocument();
    EXPECT_EQ(readFile(path("отчет.txt")),
              ToCp1251("Положение об организационной структуре\r\nООО «Ромашка»\r\n"
                       "I. Структурные подразделения\r\n4.1 Дирекция\r\n4.1.1 Отдел закупок\r\n"));
    EXPECT_TRUE(viewer->PlainText());
    // The view keeps its formatting until the next load, which now shows any file as text.
    EXPECT_TRUE(FormatOf(*viewer->RichEdit1->document(), U("Дирекция")).fontWeight() ==
                QFont::Bold);
    writeFile(path("other.rtf"), ReportDocumentBytes(kReport));
    prompts.queueOpen(path("other.rtf").toStdString());
    viewer->OpenDocument();
    EXPECT_TRUE(viewer->RichEdit1->document()->toPlainText().startsWith(U("{\\rtf1\\ansi")));
    EXPECT_EQ(viewer->windowTitle(), path("other.rtf"));
}

TEST_F(ViewerTest, TxtReportProposesTxtAndCancelChangesNothing)
{
    const auto viewer = open(false, "Положение.TXT");
    dialogs.answers.push_back(std::nullopt);
    viewer->SaveDocument();
    EXPECT_EQ(dialogs.saves[0].type, ReportFileType::Txt);
    EXPECT_EQ(dialogs.saves[0].defaultExtension, U("TXT"));
    EXPECT_EQ(viewer->windowTitle(), U("Положение.TXT"));
    EXPECT_TRUE(viewer->PlainText());

    const QString before = viewer->RichEdit1->document()->toPlainText();
    prompts.queueOpen(std::nullopt);
    viewer->ActionLoad->trigger();
    EXPECT_EQ(prompts.dialogs.at(0).title, ToCp1251("Открытие файла"));
    EXPECT_EQ(viewer->RichEdit1->document()->toPlainText(), before);
    EXPECT_EQ(viewer->windowTitle(), U("Положение.TXT"));
}

TEST_F(ViewerTest, RichModeLoadsRtfAsRichTextAndAnythingElseAsText)
{
    const auto viewer = open(true, "Положение.RTF");
    writeFile(path("a.rtf"), DataFile("word.rtf"));
    writeFile(path("b.txt"), ToCp1251("Строка 1\r\nСтрока 2\r\n"));
    writeFile(path("c.rtf"), ToCp1251("Не RTF, хотя и .rtf"));

    prompts.queueOpen(path("a.rtf").toStdString());
    viewer->OpenDocument();
    EXPECT_EQ(viewer->windowTitle(), path("a.rtf"));
    EXPECT_EQ(Tables(*viewer->RichEdit1->document()).size(), 1u);
    EXPECT_EQ(FormatOf(*viewer->RichEdit1->document(), U("Положение")).fontWeight(), QFont::Bold);

    prompts.queueOpen(path("b.txt").toStdString());
    viewer->OpenDocument();
    EXPECT_EQ(TopTexts(*viewer->RichEdit1->document()),
              (std::vector<QString>{U("Строка 1"), U("Строка 2"), QString()}));

    prompts.queueOpen(path("c.rtf").toStdString());
    viewer->OpenDocument();
    EXPECT_EQ(viewer->RichEdit1->document()->toPlainText(), U("Не RTF, хотя и .rtf"));
    EXPECT_FALSE(viewer->PlainText());
}

TEST_F(ViewerTest, FileErrorsAreReportedAndLeaveTheWindowAsItWas)
{
    const auto viewer = open(true, "Положение.RTF");
    prompts.queueOpen(path("missing.rtf").toStdString());
    viewer->OpenDocument();
    dialogs.answers.push_back(SaveAsAnswer{path("no/such/folder/x.txt"), ReportFileType::Txt});
    viewer->SaveDocument();
    ASSERT_EQ(prompts.informs().size(), 2u);
    EXPECT_EQ(prompts.informs()[0],
              "Не удалось прочитать файл\n" + path("missing.rtf").toStdString());
    EXPECT_EQ(prompts.informs()[1],
              "Не удалось записать файл\n" + path("no/such/folder/x.txt").toStdString());
    EXPECT_EQ(viewer->windowTitle(), U("Положение.RTF"));
    EXPECT_FALSE(viewer->PlainText());
    EXPECT_EQ(TopTexts(*viewer->RichEdit1->document())[0], U(kReport[0].Text.c_str()));
}

TEST_F(ViewerTest, PrintsTheViewToPaper)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    std::vector<StyledLine> lines = kReport;
    for (int k = 1; k <= 120; ++k)
        lines.push_back({ParaStyle::Level3, "4.1.1." + std::to_string(k) +
                                                " Начало очень длинного названия подразделения,"
                                                " которое на бумаге никак не помещается в одну"
                                                " строку страницы и потому переносится, а его"
                                                " Конец"});
    ReportViewer viewer(prompts, &dialogs);
    viewer.LoadDocument(ReportDocumentBytes(lines));
    viewer.setWindowTitle(U("Положение.RTF"));

    viewer.ActionPrint->trigger();  // cancelled
    EXPECT_EQ(dialogs.printedTitle, U("Положение.RTF"));
    viewer.setWindowTitle(U("/tmp/отчеты/Положение.RTF"));
    viewer.ActionPrint->trigger();
    EXPECT_EQ(dialogs.printedTitle, U("Положение"));  // a PDF is proposed as Положение.pdf

    dialogs.pdf = path("print.pdf");
    viewer.PrintDocument();
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), dialogs.pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(U("Положение об организационной структуре")));
    EXPECT_TRUE(printed.contains(U("4.1.1.120 Начало")));
    // Wrapped at the page width, although the view does not wrap.
    for (const QString& line : printed.split(QChar('\n'))) {
        if (line.contains(U("4.1.1.7 Начало"))) {
            EXPECT_FALSE(line.contains(U("Конец"))) << line.toStdString();
        }
    }
    // Indents on paper as in the document: 720 twips are half an inch, 36 points.
    QProcess boxes;
    boxes.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-bbox"), QStringLiteral("-l"), QStringLiteral("1"), dialogs.pdf,
                 QStringLiteral("-")});
    ASSERT_TRUE(boxes.waitForFinished(30000));
    const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
    auto left = [&](const QString& word) {
        const QRegularExpression re(QStringLiteral("xMin=\"([0-9.]+)\"[^>]*>") +
                                    QRegularExpression::escape(word) + QStringLiteral("<"));
        const QRegularExpressionMatch m = re.match(html);
        EXPECT_TRUE(m.hasMatch()) << word.toStdString();
        return m.captured(1).toDouble();
    };
    EXPECT_NEAR(left(U("4.1.1.1")) - left(U("4.1")), 36, 1.5);
    EXPECT_NEAR(left(U("4.1.1")) - left(U("4.1")), 284 / 20.0, 1.5);

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {dialogs.pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString meta = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
    const int pages = pagesLine.match(meta).captured(1).toInt();
    EXPECT_GE(pages, 4);
    EXPECT_LE(pages, 20);
    EXPECT_TRUE(meta.contains(U("Положение"))) << meta.toStdString();

    viewer.ActionPrintSetup->trigger();
    EXPECT_EQ(dialogs.setups, 1);
}

// A long report shows its beginning at once and the rest when it has been read behind it.
TEST_F(ViewerTest, LargeReportShowsItsBeginningAndThenAll)
{
    const std::string rtf = longReport(100000);
    ReportViewer viewer(prompts, &dialogs);
    viewer.resize(800, 600);
    viewer.show();
    viewer.LoadDocument(rtf);
    EXPECT_TRUE(viewer.Loading());
    const int shown = viewer.RichEdit1->document()->blockCount();
    EXPECT_GT(shown, 100);
    EXPECT_LT(shown, 100001);
    EXPECT_EQ(viewer.RichEdit1->document()->begin().text(), U("4.1.0 Подразделение номер 0"));
    EXPECT_TRUE(viewer.StatusBar1->isVisible());
    waitForLoad(viewer);
    EXPECT_EQ(viewer.RichEdit1->document()->blockCount(), 100001);
    EXPECT_EQ(viewer.RichEdit1->document()->lastBlock().previous().text(),
              U("4.1.99999 Подразделение номер 99999"));
    EXPECT_TRUE(viewer.StatusBar1->isHidden());
}

// Qt lays out a document without pages as one page of 2^23 pixels and loops for ever on
// paragraph spacing past it: so tall a document shows without the spacing, and keeps it.
TEST_F(ViewerTest, TooTallForQtShowsWithoutSpacingButKeepsIt)
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}";
    for (int k = 0; k < 70000; ++k)
        rtf += "\\pard\\sb1800\\sa30 x\\par ";
    rtf += "}";
    ReportViewer viewer(prompts, &dialogs);
    viewer.resize(800, 600);
    viewer.show();
    viewer.LoadDocument(rtf);
    waitForLoad(viewer);
    const QTextDocument* doc = viewer.RichEdit1->document();
    EXPECT_EQ(doc->blockCount(), 70000);
    EXPECT_LT(doc->size().height(), 8388607);
    EXPECT_EQ(doc->begin().blockFormat().topMargin(), 0);

    dialogs.answers.push_back(SaveAsAnswer{path("tall.rtf"), ReportFileType::Rtf});
    viewer.SaveDocument();
    const auto saved = ReadDocument(readFile(path("tall.rtf")));
    EXPECT_DOUBLE_EQ(saved->lastBlock().blockFormat().topMargin(), 120);
    EXPECT_DOUBLE_EQ(saved->lastBlock().blockFormat().bottomMargin(), 2);
    // A report of usual length keeps its spacing on screen.
    viewer.LoadDocument(ReportDocumentBytes(kReport));
    EXPECT_DOUBLE_EQ(viewer.RichEdit1->document()->begin().blockFormat().topMargin(), 4);
}

// The real save dialog: switching the file type changes the shown name's extension, and does
// nothing to an empty name box.
TEST(ReportViewerFiles, SaveDialogTypeSwitchFollowsTheExtension)
{
    QtViewerDialogs dialogs;
    SaveAsRequest request{U("Запись файла"), U("Положение.RTF"), U("RTF"), ReportFileType::Rtf};
    std::vector<QString> shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(name && types);
        EXPECT_EQ(dialog->windowTitle(), U("Запись файла"));
        shown.push_back(name->text());
        QTest::keyClick(types, Qt::Key_Down);  // to TXT, as the user does it
        shown.push_back(name->text());
        QTest::keyClick(types, Qt::Key_Up);
        shown.push_back(name->text());
        name->setText(U("без расширения"));
        QTest::keyClick(types, Qt::Key_Down);
        shown.push_back(name->text());
        name->clear();
        QTest::keyClick(types, Qt::Key_Up);
        shown.push_back(name->text());
        name->setText(QDir::temp().filePath(U("ormelit-viewer-test.dat")));
        QTest::keyClick(types, Qt::Key_Down);
        QTest::keyClick(name, Qt::Key_Return);
    });
    const auto answer = dialogs.SaveAs(request, nullptr);
    EXPECT_EQ(shown,
              (std::vector<QString>{U("Положение.RTF"), U("Положение.txt"), U("Положение.rtf"),
                                    U("без расширения.txt"), QString()}));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->type, ReportFileType::Txt);
    EXPECT_EQ(answer->path, QDir::temp().filePath(U("ormelit-viewer-test.txt")));
    // Only the name's own extension is replaced, never a dot in a folder's name.
    EXPECT_EQ(ReplaceFileExt(U("/tmp/a.b/отчет"), U(".rtf")), U("/tmp/a.b/отчет.rtf"));
    EXPECT_EQ(ReplaceFileExt(U("C:\\dir.x\\name."), U(".rtf")), U("C:\\dir.x\\name.rtf"));
}

namespace {

// pdftotext -bbox of the first page, and the left edge of a word on it in points.
double leftOf(const QString& pdf, const QString& word)
{
    QProcess boxes;
    boxes.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-l"),
                                              QStringLiteral("1"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(boxes.waitForFinished(30000));
    const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
    const QRegularExpression re(QStringLiteral("xMin=\"([0-9.]+)\"[^>]*>") +
                                QRegularExpression::escape(word) + QStringLiteral("<"));
    const QRegularExpressionMatch m = re.match(html);
    EXPECT_TRUE(m.hasMatch()) << word.toStdString();
    return m.captured(1).toDouble();
}

QSizeF pageSizeOf(const QString& pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.waitForFinished(30000));
    const QString meta = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)")).match(meta);
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
}

}  // namespace

// A document of another program: its page, pictures and what the view leaves out, through
// load, view, save and print.
TEST_F(ViewerTest, LoadedRtfKeepsItsPageAndPicturesThroughSaveAndPrint)
{
    QImage red(20, 10, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    writeFile(path("other.rtf"),
              ToCp1251("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\froman\\fcharset204 Times New "
                       "Roman;}}\\paperw16838\\paperh11906\\margl2835\\margr567\\margt567"
                       "\\margb567\\landscape{\\header Шапка\\par}"
                       "\\pard\\f0 Сноской{\\super\\chftn}{\\footnote Текст сноски}{\\*\\annotation "
                       "Заметка}. Рисунок ") +
                  "{\\*\\shppict{\\pict\\pngblip\\picw20\\pich10\\picwgoal1500\\pichgoal750 " +
                  png.toHex().toStdString() + "}}\\par}");
    const auto viewer = open(true, "Положение.RTF");
    viewer->show();
    EXPECT_TRUE(viewer->StatusBar1->isHidden());
    prompts.queueOpen(path("other.rtf").toStdString());
    viewer->OpenDocument();
    const QTextDocument* doc = viewer->RichEdit1->document();
    EXPECT_EQ(TopTexts(*doc)[0], U("Сноской1. Рисунок \uFFFC"));
    EXPECT_TRUE(viewer->StatusBar1->isVisible());
    EXPECT_EQ(viewer->StatusBar1->currentMessage(),
              U("Документ упрощён: не показаны и не будут сохранены примечания."));
    const rtf::Page page{16838, 11906, 2835, 567, 567, 567, true};
    EXPECT_EQ(rtf::DocumentPage(*doc), page);

    dialogs.answers.push_back(SaveAsAnswer{path("saved.rtf"), ReportFileType::Rtf});
    viewer->SaveDocument();
    const std::string saved = readFile(path("saved.rtf"));
    const auto again = ReadDocument(saved);
    EXPECT_EQ(TopTexts(*again), TopTexts(*doc));
    EXPECT_EQ(rtf::DocumentPage(*again), page);
    EXPECT_NE(saved.find(png.toHex().left(64).toStdString()), std::string::npos);

    // Printed on its own page with its own margins; the printer keeps its page for the rest.
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QPageLayout before = SharedPrinter().pageLayout();
    dialogs.pdf = path("page.pdf");
    viewer->PrintDocument();
    EXPECT_NEAR(pageSizeOf(dialogs.pdf).width(), 841.9, 1);
    EXPECT_NEAR(pageSizeOf(dialogs.pdf).height(), 595.3, 1);
    EXPECT_NEAR(leftOf(dialogs.pdf, U("Сноской")), 2835 / 20.0, 1.5);
    EXPECT_TRUE(SharedPrinter().pageLayout().isEquivalentTo(before));
    // Our own reports, which name no page, print on the printer's page.
    viewer->LoadDocument(ReportDocumentBytes(kReport));
    EXPECT_TRUE(viewer->StatusBar1->isHidden());
    viewer->PrintDocument();
    const QSizeF printerPage = before.fullRectPoints().size();
    EXPECT_NEAR(pageSizeOf(dialogs.pdf).width(), printerPage.width(), 1);
    EXPECT_NEAR(pageSizeOf(dialogs.pdf).height(), printerPage.height(), 1);
}

TEST_F(ViewerTest, TextFilesInUtf8AreDecodedAndWindows1251StaysTheDefault)
{
    const auto viewer = open(false, "Положение.TXT");
    const std::vector<std::pair<const char*, std::string>> files = {
        {"bom.txt", "\xEF\xBB\xBF" + std::string("Привет, мир\r\nВторая")},
        {"utf8.txt", "Привет, мир\r\nВторая"},
        {"cp1251.txt", ToCp1251("Привет, мир\r\nВторая")},
        {"utf16.txt", std::string("\xFF\xFE", 2) +
                          std::string(reinterpret_cast<const char*>(u"Привет, мир\r\nВторая"),
                                      2 * 19)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        writeFile(path(name), bytes);
        prompts.queueOpen(path(name).toStdString());
        viewer->OpenDocument();
        EXPECT_EQ(TopTexts(*viewer->RichEdit1->document()),
                  (std::vector<QString>{U("Привет, мир"), U("Вторая")}));
    }
    // Bytes that are no UTF-8 at all, and Windows-1251 that only looks like it in part.
    writeFile(path("mixed.txt"), ToCp1251("Ёлка") + "\xC3\xA9");
    prompts.queueOpen(path("mixed.txt").toStdString());
    viewer->OpenDocument();
    EXPECT_EQ(viewer->RichEdit1->document()->toPlainText(), U("ЁлкаГ©"));
}
