// The settings dialog, the about box and the font dialog as windows: their frames, where they
// open, their font, and what the font dialog offers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QScreen>

#include "core/settings/appsettings.h"
#include "gui/settings/aboutbox.h"
#include "gui/settings/settingsdialog.h"
#include "support/fakeprompts.h"

using namespace orm;

namespace {

QStringList visibleTexts(QWidget& dialog)
{
    QStringList out;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (w->isVisibleTo(&dialog))
            out << w->metaObject()->className() + QStringLiteral(":") + w->objectName();
    }
    return out;
}

}  // namespace

TEST(FontDialog, OffersFaceAndSizeOnlyWithACyrillicSample)
{
    // Its oblique style is not flagged italic by the font database.
    QFontDialog dialog(QFont(QStringLiteral("DejaVu Sans"), 11));
    PrepareFontDialog(dialog);
    dialog.show();
    QApplication::processEvents();
    int lists = 0;
    for (QListView* list : dialog.findChildren<QListView*>())
        lists += list->isVisibleTo(&dialog) ? 1 : 0;
    EXPECT_EQ(lists, 2) << visibleTexts(dialog).join(' ').toStdString();  // faces and sizes
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        EXPECT_FALSE(box->isVisibleTo(&dialog)) << box->text().toStdString();
    bool cyrillicSample = false;
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        if (edit->isVisibleTo(&dialog) && edit->text().contains(QStringLiteral("Яя"))) {
            cyrillicSample = true;
            EXPECT_GE(edit->height(), edit->fontMetrics().height());
            EXPECT_FALSE(edit->font().italic());  // what is kept: the plain face
        }
    }
    EXPECT_TRUE(cyrillicSample);
    EXPECT_EQ(dialog.currentFont().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(dialog.currentFont().italic());
    EXPECT_EQ(dialog.currentFont().pointSize(), 11);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Шрифт"));
}

TEST(DialogFrames, FixedFramesThatCannotBeMinimisedOpenCentred)
{
    AppSettings settings;
    FontSpec font{"DejaVu Serif", 13};
    test::FakePrompts prompts;
    QWidget owner;
    owner.setGeometry(10, 10, 300, 200);
    SettingsDialog setup(settings, font, prompts, &owner);
    AboutBox about(settings, prompts, &owner);

    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((setup.geometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_EQ(setup.font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(setup.font().pointSize(), 13);

    for (QDialog* dialog : {static_cast<QDialog*>(&setup), static_cast<QDialog*>(&about)}) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint))
            << dialog->objectName().toStdString();
        // A window manager that minimises it anyway gets it back.
        dialog->show();
        dialog->setWindowState(Qt::WindowMinimized);
        QApplication::processEvents();
        EXPECT_FALSE(dialog->isMinimized()) << dialog->objectName().toStdString();
        EXPECT_TRUE(dialog->isVisible());
        dialog->hide();
    }
}
