// The viewer with documents from word processors and other programs' text files: links that
// open with Ctrl+click, notes shown after the text, stray bytes in UTF-8 files, and TXT saves of
// characters Windows-1251 lacks.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolTip>
#include <QUrl>

#include "format/rtftest.h"
#include "gui/help/runprogram.h"
#include "gui/report/fakedialogs.h"
#include "gui/report/reportviewer.h"
#include "support/fakeprompts.h"

using namespace orm;
using namespace orm::test;

namespace {

class ViewerPartsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override
    {
        SetUrlOpener({});
        EXPECT_TRUE(prompts.allAnswersUsed());
        EXPECT_TRUE(dialogs.answers.empty());
    }

    std::unique_ptr<ReportViewer> viewer(bool plain)
    {
        auto v = std::make_unique<ReportViewer>(prompts, &dialogs);
        v->SetPlainText(plain);
        v->resize(700, 500);
        v->show();
        return v;
    }

    QString path(const char* name) const { return dir.filePath(U(name)); }

    static std::string readFile(const QString& name)
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return "(none)";
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

// Where a piece of text is on the view's screen.
QPoint pointOf(QTextEdit& view, const QString& text)
{
    QTextCursor cursor = view.document()->find(text);
    cursor.setPosition(cursor.selectionStart() + 1);
    return view.cursorRect(cursor).center();
}

}  // namespace

TEST_F(ViewerPartsTest, LinksShowTheirTargetAndOpenWithCtrlClick)
{
    const auto v = viewer(false);
    v->LoadDocument(DataFile("word-parts.rtf"));
    QTextEdit& view = *v->RichEdit1;
    const QTextCharFormat link = FormatOf(*view.document(), U("сайте"));
    EXPECT_TRUE(link.isAnchor());
    EXPECT_EQ(link.toolTip(), U("https://example.org/zakupki?id=7"));
    // Nothing was left out: notes, headers, the shape's picture are all kept.
    EXPECT_TRUE(v->StatusBar1->isHidden());

    std::vector<QUrl> opened;
    bool accept = true;
    SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return accept;
    });
    const QPoint at = pointOf(view, U("сайте"));
    QHelpEvent hint(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &hint);
    EXPECT_EQ(QToolTip::text(), U("https://example.org/zakupki?id=7"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(opened.empty());  // a plain click selects, as anywhere in the text
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(U("https://example.org/zakupki?id=7")));
    // Ctrl+click on plain text opens nothing; a target no program takes says so.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      pointOf(view, U("Отдел закупок")));
    EXPECT_EQ(opened.size(), 1u);
    accept = false;
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(prompts.errors().size(), 1u);
}

TEST_F(ViewerPartsTest, TextFilesWithStrayBytesAndTxtSavesOfOtherCharacters)
{
    const auto v = viewer(false);
    const std::string line = "Пункт первый положения о закупках.\r\n";
    writeFile(path("utf8.txt"), line + line + line + "\xC7" + line);
    prompts.queueOpen(path("utf8.txt").toStdString());
    v->OpenDocument();
    EXPECT_EQ(TopTexts(*v->RichEdit1->document())[3], U("\uFFFDПункт первый положения о закупках."));
    EXPECT_TRUE(v->StatusBar1->isVisible());
    EXPECT_EQ(v->StatusBar1->currentMessage(),
              U("Файл прочитан в кодировке UTF-8; байтов не в UTF-8: 1, они показаны знаком «\uFFFD»."));

    // A TXT save that would lose characters asks first: UTF-8, Windows-1251 with "?", or nothing.
    const std::string text = line + line + line + "\xEF\xBF\xBD" + line;
    const std::string cp1251 = ToCp1251(line + line + line + "?" + line);
    struct Case {
        Prompts::Answer answer;
        std::string file;
    };
    const Case cases[] = {{Prompts::Answer::Yes, "\xEF\xBB\xBF" + text},
                          {Prompts::Answer::No, cp1251},
                          {Prompts::Answer::Cancel, "(none)"}};
    int n = 0;
    for (const Case& c : cases) {
        const QString name = path(("saved" + std::to_string(n++) + ".txt").c_str());
        dialogs.answers.push_back(SaveAsAnswer{name, ReportFileType::Txt});
        prompts.queueAnswer(c.answer);
        v->SaveDocument();
        EXPECT_EQ(readFile(name), c.file);
        EXPECT_EQ(prompts.shown.back(),
                  "ask: В тексте есть знаки, которых нет в кодировке Windows-1251: при записи в ней "
                  "они заменятся знаком «?».\nЗаписать файл в кодировке UTF-8?");
    }
    // Text that Windows-1251 holds goes without a question.
    writeFile(path("cp1251.txt"), ToCp1251(line));
    prompts.queueOpen(path("cp1251.txt").toStdString());
    v->OpenDocument();
    EXPECT_TRUE(v->StatusBar1->isHidden());
    dialogs.answers.push_back(SaveAsAnswer{path("plain.txt"), ReportFileType::Txt});
    const size_t asked = prompts.shown.size();
    v->SaveDocument();
    EXPECT_EQ(prompts.shown.size(), asked);
    EXPECT_EQ(readFile(path("plain.txt")), ToCp1251(line));
}
