#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <filesystem>
#include <memory>

#include "format/textcodec.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/itemeditdialog.h"
#include "gui/help/contexthelp.h"
#include "gui/help/helpwindow.h"
#include "gui/help/hotkeys.h"
#include "gui/help/mainwindowfixture.h"
#include "gui/kit/tf_base.h"
#include "support/tempdir.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace orm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kData = std::string(ORMELIT_TEST_DATA) + "/help/";

using ContextHelpTest = test::HelpMainWindowTest;

TEST_F(ContextHelpTest, ContextNamesOfTheProgramsWindows)
{
    const auto name = [](QWidget* active, QWidget* focus) {
        return HelpContextName(active, focus);
    };
    EXPECT_EQ(name(nullptr, nullptr), "TF_Main");
    EXPECT_EQ(name(window.get(), window->ToolBar1), "TF_Main");

    ClassifierWindow* classifier = window->OpenClassifier(4);
    EXPECT_EQ(name(window.get(), classifier->Outline1), "TF_Main_TF_A1_tag4");
    EXPECT_EQ(name(window.get(), window->SubWindowOf(classifier)), "TF_Main_TF_A1_tag4");
    // Any child window that follows the convention: its class name and its Tag.
    auto* projection = new TF_Base(window.get(), 2);
    projection->setObjectName(QStringLiteral("TF_A14"));
    auto* grid = new QTableView(projection);
    window->MdiArea()->addSubWindow(projection)->show();
    EXPECT_EQ(name(window.get(), grid), "TF_Main_TF_A14_tag2");

    // Dialogs are active windows of their own.
    ItemEditDialog edit(window.get());
    EXPECT_EQ(name(&edit, edit.Edit2), "TF_ItemEdit");
    QDialog params(window.get());
    params.setObjectName(QStringLiteral("TF_RepParam"));
    params.setProperty("helpTag", 3);
    EXPECT_EQ(name(&params, new QLineEdit(&params)), "TF_RepParam_tag3");
}

// The sample help (Windows-1251 HTML with named anchors) and its index, copied where the index
// may be written, and a settings file that names the index; F1 entered at start-up.
class HelpFixture : public ContextHelpTest {
protected:
    void SetUp() override
    {
        ContextHelpTest::SetUp();
        for (const char* name : {"sample.QHL", "sample.html"})
            fs::copy_file(kData + name, dir.path(name));
        const std::string settings =
            dir.write("o.INI", "[Help]\r\nHelpIniFileName=" + dir.path("sample.QHL") + "\r\n");
        hotKeys = std::make_unique<TKXHotKey>();
        InitContextHelp(*hotKeys, settings, dir.path("o"));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        delete HelpWindow::Current();
        hotKeys.reset();
        TQhlFile::SetIndexFileName({});
        ContextHelpTest::TearDown();
    }
    std::string indexBytes() const { return TempDir::read(dir.path("sample.QHL")); }
    // The first line of text at the top of the help window.
    static QString topLine()
    {
        QTextBlock block = HelpWindow::Current()->Browser->cursorForPosition(QPoint(4, 4)).block();
        while (block.isValid() && block.text().trimmed().isEmpty())
            block = block.next();
        return block.text().trimmed();
    }

    TempDir dir;
    std::unique_ptr<TKXHotKey> hotKeys;
};

TEST_F(HelpFixture, F1OpensTheHelpAtTheKeywordOfTheFocusedWindow)
{
    const std::string before = indexBytes();
    ClassifierWindow* classifier = window->OpenClassifier(4);
    classifier->Outline1->setFocus();
    QTest::keyClick(classifier->Outline1, Qt::Key_F1);
    HelpWindow* help = HelpWindow::Current();
    ASSERT_TRUE(help && help->isVisible());
    EXPECT_EQ(help->parentWidget(), window.get());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Ормелит: справка (пример для тестов)"));
    // The keyword ЗВЕНЬЯ names the anchor "Звенья" far down the page.
    EXPECT_GT(help->Browser->verticalScrollBar()->value(), 0);
    EXPECT_EQ(topLine(), QStringLiteral("Структурные звенья"));
    EXPECT_EQ(indexBytes(), before);

    // The main window itself, in the same help window.
    window->ToolBar1->setFocus();
    ShowContextHelp();
    EXPECT_EQ(HelpWindow::Current(), help);
    EXPECT_EQ(topLine(), QStringLiteral("Главное окно"));
    // Back and Forward retrace the topics F1 showed.
    ASSERT_TRUE(help->ActionBack->isEnabled());
    help->ActionBack->trigger();
    EXPECT_EQ(topLine(), QStringLiteral("Структурные звенья"));
    ASSERT_TRUE(help->ActionForward->isEnabled());
    help->ActionForward->trigger();
    EXPECT_EQ(topLine(), QStringLiteral("Главное окно"));
}

TEST_F(HelpFixture, QtsOwnDialogsTakeTheHelpOfTheWindowThatOpenedThem)
{
    ClassifierWindow* classifier = window->OpenClassifier(4);
    classifier->Outline1->setFocus();
    QFileDialog files(window.get());
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.show();
    EXPECT_EQ(HelpContextName(&files, files.focusWidget()), "TF_Main_TF_A1_tag4");

    QDialog setup(window.get());
    setup.setObjectName(QStringLiteral("TF_SETUP"));
    QFontDialog fonts(&setup);
    QMessageBox box(QMessageBox::Information, QString(), QString(), QMessageBox::Ok, &fonts);
    EXPECT_EQ(HelpContextName(&box, nullptr), "TF_SETUP");
    QMessageBox orphan;
    EXPECT_EQ(HelpContextName(&orphan, nullptr), "TF_Main_TF_A1_tag4");

    // F1 in the file dialog: the classifier's topic, and no Qt class name in the index.
    QApplication::setActiveWindow(&files);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&files));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    ASSERT_TRUE(HelpWindow::Current());
    EXPECT_EQ(topLine(), QStringLiteral("Структурные звенья"));
    EXPECT_EQ(indexBytes().find("QFileDialog"), std::string::npos);
}

TEST_F(HelpFixture, HelpFromAModalDialogBelongsToTheDialog)
{
    QDialog setup(window.get());
    setup.setObjectName(QStringLiteral("TF_SETUP"));
    auto* field = new QLineEdit(&setup);
    setup.setModal(true);
    setup.show();
    QApplication::setActiveWindow(&setup);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
    ASSERT_TRUE(HelpWindow::Current());
    // As a window of the main window the dialog would block it.
    EXPECT_EQ(HelpWindow::Current()->parentWidget(), &setup);
    EXPECT_EQ(topLine(), QStringLiteral("Установки"));
    // It opens beside the dialog, clear of the main window's menu bar.
    const QRect menu(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size());
    EXPECT_FALSE(HelpWindow::Current()->frameGeometry().intersects(menu));
}

TEST_F(HelpFixture, SeveralAnchorsOfferAChoiceNoneTheIndex)
{
    ShowHelpTopic("TF_Main_TF_A14_tag2");  // MATRIX: anchors "Matrix" and "matrix"
    HelpWindow* help = HelpWindow::Current();
    ASSERT_TRUE(help && help->Topics());
    HelpTopicsDialog* topics = help->Topics();
    EXPECT_TRUE(topics->isVisible());
    EXPECT_EQ(topics->windowTitle(), QStringLiteral("Найденные разделы"));
    EXPECT_EQ(topics->Anchors(), (QStringList{"Matrix", "matrix"}));
    EXPECT_EQ(topics->ListBox1->item(1)->text(), QStringLiteral("Матрица: процессы и функции"));
    const QImage list = topics->grab().toImage();
    topics->Choose(1);
    EXPECT_FALSE(topics->isVisible());
    EXPECT_EQ(topLine(), QStringLiteral("Матрица: процессы и функции"));
    const QImage page = help->grab().toImage();

    // A keyword no anchor has ("нет такого раздела", the index's NotFound): every anchor.
    ShowHelpTopic("TF_ItemEdit");
    ASSERT_TRUE(help->Topics());
    EXPECT_EQ(help->Topics()->windowTitle(), QStringLiteral("Указатель"));
    QStringList anchors = help->Topics()->Anchors();
    anchors.sort();
    EXPECT_EQ(anchors, (QStringList{"Matrix", "classifier", "ini", "main", "matrix", "settings",
                                    QStringLiteral("Звенья")}));

    // For a look: ORMELIT_HELP_SHOTS=<folder> saves the two windows as drawn.
    if (const QString shots = qEnvironmentVariable("ORMELIT_HELP_SHOTS"); !shots.isEmpty()) {
        page.save(shots + QStringLiteral("/help-window.png"));
        list.save(shots + QStringLiteral("/help-topics.png"));
    }
}

TEST_F(HelpFixture, MissingFilesMakeF1DoNothing)
{
    fs::remove(dir.path("sample.html"));
    const std::string index = "[Help]\r\nNotFound=main\r\nEnableAddNotFound=1\r\n";
    dir.write("sample.QHL", index);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_FALSE(HelpWindow::Current());
    EXPECT_EQ(indexBytes(), index);
}

TEST(HelpHtml, Windows1251WithOrWithoutDeclaration)
{
    // The sample declares its charset; help authors' files often do not.
    const QString text = QStringLiteral("<p>Справка «Ёж» №1</p>");
    const QByteArray cp = QByteArray::fromStdString(ToCp1251(text));
    EXPECT_EQ(DecodeHelpHtml(cp), text);
    EXPECT_EQ(DecodeHelpHtml(text.toUtf8()), text);
    EXPECT_EQ(DecodeHelpHtml("<meta charset=koi8-r>\xF3\xD0\xD2\xC1\xD7\xCB\xC1"),
              QStringLiteral("<meta charset=koi8-r>Справка"));
}

TEST(TKXHotKey, TableComesFirstOtherKeysGoOnUnchanged)
{
    // A focused text field, and actions on F1, Shift+F1 and Ctrl+N as the main window has.
    QMainWindow window;
    auto* edit = new QLineEdit(&window);
    window.setCentralWidget(edit);
    QStringList fired, handled;
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F1), QKeySequence(Qt::SHIFT | Qt::Key_F1),
                                    QKeySequence(Qt::CTRL | Qt::Key_N)}) {
        auto* action = new QAction(&window);
        action->setShortcut(key);
        window.addAction(action);
        QObject::connect(action, &QAction::triggered, [&fired, key] { fired << key.toString(); });
    }
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    auto hotKeys = std::make_unique<TKXHotKey>();
    EXPECT_EQ(TKXHotKey::Instance(), hotKeys.get());
    hotKeys->AddHotKey(Qt::Key_F1, Qt::NoModifier, [&](int key, int modifiers) {
        handled << QKeySequence(key | modifiers).toString();
    });
    QTest::keyClick(edit, Qt::Key_F1);
    QTest::keyClick(edit, Qt::Key_F1, Qt::KeypadModifier);  // not another key
    EXPECT_EQ(handled, (QStringList{"F1", "F1"}));
    EXPECT_TRUE(fired.isEmpty());

    QTest::keyClick(edit, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(fired, (QStringList{"Shift+F1", "Ctrl+N"}));
    EXPECT_EQ(edit->text(), QStringLiteral("ab"));

    // Removed from the table, or the table gone: F1 is the action's again.
    hotKeys->AddHotKey(Qt::Key_F1, Qt::NoModifier, nullptr);
    QTest::keyClick(edit, Qt::Key_F1);
    hotKeys->AddHotKey(Qt::Key_F1, Qt::NoModifier, [&](int, int) { handled << "again"; });
    hotKeys.reset();
    EXPECT_EQ(TKXHotKey::Instance(), nullptr);
    QTest::keyClick(edit, Qt::Key_F1);
    EXPECT_EQ(fired, (QStringList{"Shift+F1", "Ctrl+N", "F1", "F1"}));
    EXPECT_EQ(handled.size(), 2);
}

}  // namespace
}  // namespace orm
