#include "gui/kit/qtprompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <vector>

#include "core/settings/programstate.h"
#include "core/text/cp1251.h"
#include "gui/kit/windowsize.h"
#include "support/tempdir.h"

using namespace orm;

TEST(QtPromptsFilters, ListEveryType)
{
    FileDialogSpec spec;
    spec.filterName = ToCp1251("Файл TXT");
    spec.filterPatterns = "*.txt";
    spec.moreFilters = {{ToCp1251("Файл RTF"), "*.rtf"}, {ToCp1251("Все файлы"), "*"}};
    EXPECT_EQ(FileFilters(spec), (QStringList{"Файл TXT (*.txt)", "Файл RTF (*.rtf)",
                                              "Все файлы (*)"}));
    spec.moreFilters.clear();
    spec.filterName = ToCp1251("Файлы Ормелит");
    spec.filterPatterns = "*.ovx;*.rem";
    EXPECT_EQ(FileFilters(spec), QStringList{"Файлы Ормелит (*.ovx *.rem)"});
}

// The prompts ask for text through whatever dialog they were handed, in and out of the code page.
TEST(QtPromptsInput, AsksTheHandedInDialogAndConvertsBothWays)
{
    QWidget parent;
    struct Call {
        QWidget* parent;
        QString caption;
        QString text;
    };
    std::vector<Call> calls;
    std::optional<QString> answer = QStringLiteral("Ответ ∑");
    QtPrompts prompts(&parent, [] { return QStringLiteral("Ормелит"); },
                      [&](QWidget* owner, const QString& caption, const QString& text) {
                          calls.push_back({owner, caption, text});
                          return answer;
                      });

    // "∑" has no place in Windows-1251: it comes back as "?", as it would be saved.
    EXPECT_EQ(prompts.InputText(ToCp1251("Изменение"), ToCp1251("Старое")),
              std::optional<std::string>(ToCp1251("Ответ ?")));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].parent, &parent);
    EXPECT_EQ(calls[0].caption, QStringLiteral("Изменение"));
    EXPECT_EQ(calls[0].text, QStringLiteral("Старое"));

    answer.reset();
    EXPECT_EQ(prompts.InputText("x", "y"), std::nullopt);
    EXPECT_EQ(calls.size(), 2u);
}

namespace {

// Answers the file dialog once its modal loop runs: checks run on it, then the name is typed
// (with the type at filter chosen as a user would pick it) and the dialog accepted, or
// cancelled when name is empty.
void answerFileDialog(std::function<void(QFileDialog&)> check, int filter, const QString& name)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        check(*dialog);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(types);
        types->setCurrentIndex(filter);
        emit types->activated(filter);
        emit types->textActivated(types->itemText(filter));
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        auto* line = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(line);
        line->setText(name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

}  // namespace

TEST(QtPromptsFileDialog, StartsWhereTheUserWorksAndSavesTheChosenType)
{
    test::TempDir dir;
    const QString project = QString::fromStdString(dir.path("проекты"));
    QDir().mkpath(project);
    QDir().mkpath(QString::fromStdString(dir.path("другая")));
    QWidget parent;
    QtPrompts prompts(&parent, [] { return QStringLiteral("Ормелит"); }, nullptr);
    FileDialogSpec spec;
    spec.title = ToCp1251("Запись файла");
    spec.filterName = ToCp1251("Метафайл");
    spec.filterPatterns = "*.wmf";
    spec.defaultExtension = "wmf";
    spec.moreFilters = {{ToCp1251("Рисунок SVG"), "*.svg"}, {ToCp1251("Рисунок PNG"), "*.png"},
                        {ToCp1251("Все файлы"), "*"}};

    // Not in the working folder: in the project's, and every column of the list is whole.
    SetFileDialogFolder(project);
    answerFileDialog(
        [&](QFileDialog& d) {
            EXPECT_EQ(d.directory().absolutePath(), project);
            EXPECT_EQ(d.viewMode(), QFileDialog::Detail);
            auto* tree = d.findChild<QTreeView*>(QStringLiteral("treeView"));
            ASSERT_TRUE(tree);
            const QFontMetrics fm(tree->header()->font());
            for (int c = 1; c < tree->header()->count(); ++c) {
                const QString title =
                    tree->model()->headerData(c, Qt::Horizontal).toString();
                EXPECT_GE(tree->header()->sectionSize(c), fm.horizontalAdvance(title)) << c;
            }
            EXPECT_GE(tree->header()->sectionSize(3),
                      fm.horizontalAdvance(QStringLiteral("31.12.2026 23:59")));
        },
        1, QStringLiteral("схема"));
    // A bare name takes the extension of the type chosen.
    EXPECT_EQ(prompts.SaveFileName(spec), (project + QStringLiteral("/схема.svg")).toStdString());
    answerFileDialog([](QFileDialog&) {}, 2, QStringLiteral("схема"));
    EXPECT_EQ(prompts.SaveFileName(spec), (project + QStringLiteral("/схема.png")).toStdString());
    // A name with its own extension keeps it; "all files" adds none.
    answerFileDialog([](QFileDialog&) {}, 1, QStringLiteral("схема.wmf"));
    EXPECT_EQ(prompts.SaveFileName(spec), (project + QStringLiteral("/схема.wmf")).toStdString());
    answerFileDialog([](QFileDialog&) {}, 3, QStringLiteral("схема"));
    EXPECT_EQ(prompts.SaveFileName(spec), (project + QStringLiteral("/схема")).toStdString());

    // The folder last used is where the next dialog starts; a cancelled one moves nothing.
    const QString other = QString::fromStdString(dir.path("другая"));
    answerFileDialog([](QFileDialog&) {}, 0, other + QStringLiteral("/x"));
    EXPECT_EQ(prompts.SaveFileName(spec), (other + QStringLiteral("/x.wmf")).toStdString());
    answerFileDialog([&](QFileDialog& d) { EXPECT_EQ(d.directory().absolutePath(), other); }, 0,
                     QString());
    EXPECT_EQ(prompts.OpenFileName(spec), std::nullopt);
    EXPECT_EQ(FileDialogFolder(), other);
}

TEST(WindowSizeKept, HeldWithinTheScreen)
{
    QWidget window;
    const QRect area = window.screen()->availableGeometry();
    RestoreWindowSize(&window, WindowSize{400, 300});
    const double scale = window.logicalDpiY() / 96.0;
    EXPECT_EQ(window.size(), QSize(qRound(400 * scale), qRound(300 * scale)));
    // Kept on a larger screen: fitted, and a shown window is moved back into view.
    window.show();
    window.move(area.right() - 10, area.bottom() - 10);
    RestoreWindowSize(&window, WindowSize{area.width() * 3, area.height() * 2});
    EXPECT_TRUE(area.contains(window.frameGeometry())) << window.frameGeometry().x();
    EXPECT_LE(window.width(), area.width());
    EXPECT_LE(window.height(), area.height());
}
