#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "core/settings/appsettings.h"
#include "core/text/cp1251.h"
#include "gui/classifier/itemeditdialog.h"
#include "gui/kit/qtprompts.h"

using namespace orm;

namespace {

void type(QWidget* w, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

}  // namespace

TEST(ItemEdit, LayoutAsDesigned)
{
    ItemEditDialog dialog;
    EXPECT_EQ(dialog.size(), QSize(542, 73));
    EXPECT_EQ(dialog.minimumSize(), QSize(172, 69));
    EXPECT_EQ(dialog.OKBtn->text(), QStringLiteral("Да"));
    EXPECT_EQ(dialog.CancelBtn->text(), QStringLiteral("Отказ"));
    EXPECT_TRUE(dialog.OKBtn->isDefault());
    dialog.resize(800, 200);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.Panel1->x(), (800 - 170) / 2);
    EXPECT_EQ(dialog.Panel1->y(), 200 - 38);
    EXPECT_EQ(dialog.Edit2->width(), 800 - 12);
}

TEST(ItemEdit, OpensCentredOnTheScreenEvenOverAnOffCentreOwner)
{
    QWidget owner;
    owner.setGeometry(0, 0, 200, 150);
    owner.show();
    ItemEditDialog dialog(&owner);
    dialog.show();
    QApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 40);
}

TEST(ItemEdit, EnterConfirmsCtrlEnterInsertsNothing)
{
    ItemEditDialog dialog;
    dialog.show();
    dialog.SetText(QStringLiteral("Склад"));
    QTest::keyClick(dialog.Edit2, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(dialog.Text(), QStringLiteral("Склад"));
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(dialog.Edit2, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ItemEdit, AtMost255CharactersAndOnlyWhatTheCodePageHolds)
{
    ItemEditDialog dialog;
    dialog.show();
    type(dialog.Edit2, QString(254, QChar(u'ж')));
    type(dialog.Edit2, QStringLiteral("ыю"));  // the 256th cannot be typed
    EXPECT_EQ(dialog.Text().size(), 255);
    EXPECT_TRUE(dialog.Text().endsWith(QChar(u'ы')));

    dialog.SetText(QString());
    type(dialog.Edit2, QStringLiteral("a☃b"));
    EXPECT_EQ(dialog.Text(), QStringLiteral("a?b"));

    dialog.SetText(QString());
    auto* pasted = new QMimeData;  // the clipboard takes it over
    pasted->setText(QStringLiteral("Отдел\r\nпродаж ⅔"));
    QApplication::clipboard()->setMimeData(pasted, QClipboard::Clipboard);
    dialog.Edit2->paste();
    EXPECT_EQ(dialog.Text(), QStringLiteral("Отдел  продаж ?"));

    dialog.SetText(QString(300, QChar('x')));
    EXPECT_EQ(dialog.Text().size(), 255);
}

// The dialog the main window hands to its prompts.
TEST(ItemEdit, PromptsReturnTheTypedTextOrNothing)
{
    FontSpec font;
    QWidget parent;
    QtPrompts prompts(&parent, [] { return QStringLiteral("Ормелит"); },
                      [&font](QWidget* owner, const QString& caption, const QString& text) {
                          return AskItemText(owner, &font, caption, text);
                      });

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<ItemEditDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Изменение"));
        EXPECT_EQ(dialog->Text(), QStringLiteral("Старое"));
        dialog->SetText(QStringLiteral("Новое"));
        dialog->OKBtn->click();
    });
    EXPECT_EQ(prompts.InputText(ToCp1251("Изменение"), ToCp1251("Старое")),
              std::optional<std::string>(ToCp1251("Новое")));

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<ItemEditDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(prompts.InputText("x", "y"), std::nullopt);
}
