// A long document read behind the view: what the user gets in the end, and what saving,
// printing, reloading and closing do while it is still being read.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "core/report/reportgen.h"
#include "format/rtfdocument.h"
#include "format/rtftest.h"
#include "format/rtfwriter.h"
#include "gui/report/reportviewer.h"
#include "gui/report/fakedialogs.h"
#include "support/fakeprompts.h"

using namespace orm;
using namespace orm::test;

namespace {

// Some thousands of paragraphs of several looks, a table, a page of its own and a comment the
// view leaves out: more than the viewer reads before it shows.
std::string longDocument()
{
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}}"
        "{\\colortbl;\\red0\\green0\\blue200;}\\paperw11906\\paperh16838\\margl1701"
        "{\\*\\annotation Заметка}";
    for (int k = 0; k < 6000; ++k) {
        rtf += "\\pard\\sb60\\sa60\\li" + std::to_string(k % 5 * 284) + "\\fs" +
               std::to_string(20 + k % 3 * 4) + (k % 4 ? "\\b0\\cf0 " : "\\b\\cf1 ") +
               ToCp1251("Пункт ") + std::to_string(k) + ToCp1251(" положения") + "\\par ";
        if (k == 2500) {
            for (int r = 0; r < 3; ++r)
                rtf += "\\trowd\\cellx3000\\cellx6000\\intbl " + std::to_string(r) +
                       "\\cell x\\cell\\row ";
        }
    }
    return rtf + ToCp1251("\\pard Конец}");
}

void waitForLoad(ReportViewer& viewer)
{
    for (int turns = 0; viewer.Loading() && turns < 100000; ++turns)
        QApplication::processEvents();
    ASSERT_FALSE(viewer.Loading());
}

std::string readFile(const QString& name)
{
    QFile f(name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll().toStdString();
}

class ViewerLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(ReadRtf(bytes, whole, &wholeInfo));
    }

    std::unique_ptr<ReportViewer> startLoad()
    {
        auto viewer = std::make_unique<ReportViewer>(prompts, &dialogs);
        viewer->resize(700, 500);
        viewer->show();
        viewer->LoadDocument(bytes);
        EXPECT_TRUE(viewer->Loading());
        return viewer;
    }

    const std::string bytes = longDocument();
    QTextDocument whole;  // the document read at once
    RtfLoadInfo wholeInfo;
    QTemporaryDir dir;
    FakePrompts prompts;
    FakeDialogs dialogs;
};

}  // namespace

TEST_F(ViewerLoadTest, DocumentReadBehindTheViewIsTheDocumentReadAtOnce)
{
    const auto viewer = startLoad();
    // The beginning, in the view's own font, spacing and all; the status line says it loads.
    const QTextDocument* shown = viewer->RichEdit1->document();
    EXPECT_EQ(shown->begin().text(), U("Пункт 0 положения"));
    EXPECT_DOUBLE_EQ(shown->begin().blockFormat().topMargin(), 4);
    EXPECT_TRUE(shown->defaultFont().bold());
    EXPECT_TRUE(viewer->StatusBar1->isVisible());
    waitForLoad(*viewer);
    const QTextDocument* doc = viewer->RichEdit1->document();
    EXPECT_EQ(doc->toPlainText(), whole.toPlainText());
    EXPECT_EQ(WriteRtf(*doc), WriteRtf(whole));
    EXPECT_EQ(rtf::DocumentPage(*doc), rtf::DocumentPage(whole));
    EXPECT_EQ(FormatOf(*doc, U("Пункт 5996")).foreground(),
              FormatOf(whole, U("Пункт 5996")).foreground());
    // What the load left out shows only now that it is known.
    EXPECT_TRUE(viewer->StatusBar1->isVisible());
    EXPECT_EQ(viewer->StatusBar1->currentMessage(),
              U("Документ упрощён: не показаны и не будут сохранены примечания."));
    EXPECT_EQ(wholeInfo.omitted, unsigned(kRtfOmittedAnnotations));
}

TEST_F(ViewerLoadTest, SavingAndPrintingDuringALoadTakeTheWholeDocument)
{
    const QString savedRtf = dir.filePath(QStringLiteral("saved.rtf"));
    dialogs.answers.push_back(SaveAsAnswer{savedRtf, ReportFileType::Rtf});
    auto viewer = startLoad();
    viewer->SaveDocument();
    EXPECT_FALSE(viewer->Loading());
    EXPECT_EQ(readFile(savedRtf), WriteRtf(whole));
    EXPECT_EQ(viewer->RichEdit1->document()->toPlainText(), whole.toPlainText());

    viewer = startLoad();
    const QString savedTxt = dir.filePath(QStringLiteral("saved.txt"));
    dialogs.answers.push_back(SaveAsAnswer{savedTxt, ReportFileType::Txt});
    viewer->ActionSave->trigger();
    EXPECT_EQ(readFile(savedTxt), WritePlainText(whole));

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    viewer = startLoad();
    dialogs.pdf = dir.filePath(QStringLiteral("printed.pdf"));
    viewer->PrintDocument();
    EXPECT_FALSE(viewer->Loading());
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {dialogs.pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(U("Пункт 5999 положения")));
    EXPECT_TRUE(printed.contains(U("Конец")));
}

TEST_F(ViewerLoadTest, ClosingOrLoadingAnotherDocumentMidLoadIsSafe)
{
    // Destroyed halfway, with the event loop running on afterwards.
    auto viewer = startLoad();
    QApplication::processEvents();
    viewer.reset();
    QApplication::processEvents();

    // Another document replaces the one still being read, and stays.
    viewer = startLoad();
    QApplication::processEvents();
    viewer->LoadDocument("{\\rtf1 short\\par}");
    EXPECT_FALSE(viewer->Loading());
    for (int k = 0; k < 50; ++k)
        QApplication::processEvents();
    EXPECT_EQ(TopTexts(*viewer->RichEdit1->document()), (std::vector<QString>{U("short")}));
    EXPECT_TRUE(viewer->StatusBar1->isHidden());

    viewer.reset();

    // The modal viewer closed before the document is read.
    ReportDocument document{bytes, true, "long.rtf"};
    bool closed = false;
    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<ReportViewer*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        EXPECT_TRUE(modal->Loading());
        QTest::keyClick(modal->RichEdit1, Qt::Key_Escape);
        closed = true;
    });
    ShowReportViewer(document, nullptr, prompts, &dialogs);
    EXPECT_TRUE(closed);
}

TEST_F(ViewerLoadTest, ViewKeepsItsPlaceSelectionAndWrapWhenTheWholeDocumentArrives)
{
    const auto viewer = startLoad();
    QTextEdit* edit = viewer->RichEdit1;
    viewer->ActionWordWrap->trigger();
    QTextCursor selection(edit->document());
    selection.setPosition(30);
    selection.setPosition(45, QTextCursor::KeepAnchor);
    edit->setTextCursor(selection);
    const QString selected = selection.selectedText();
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum() / 2);
    const QString top = edit->cursorForPosition(QPoint(0, 0)).block().text();
    ASSERT_NE(top, U("Пункт 0 положения"));
    ASSERT_TRUE(viewer->Loading());
    viewer->FinishLoading();
    EXPECT_EQ(edit->document()->blockCount(), whole.blockCount());
    EXPECT_EQ(edit->textCursor().selectedText(), selected);
    EXPECT_EQ(edit->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_NE(edit->document()->defaultTextOption().wrapMode(), QTextOption::NoWrap);
    QApplication::processEvents();
    EXPECT_EQ(edit->cursorForPosition(QPoint(0, 0)).block().text(), top);
}
