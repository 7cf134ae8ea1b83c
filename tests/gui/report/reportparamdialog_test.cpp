#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/mainwindow.h"
#include "core/report/reporttest.h"
#include "core/settings/appsettings.h"
#include "gui/report/qtreportui.h"
#include "gui/report/reportparamdialog.h"
#include "support/guifixture.h"

using namespace orm;
using namespace orm::test;

namespace {

// Units four levels deep; Бухгалтерия has no sub-units; classifier 3 stays empty.
struct Company {
    TMainTreeList project;
    Company()
    {
        Populate(project,
                 "2.1 Закупки, 4.1 Дирекция, 4.1.1 Отдел закупок, 4.1.1.1 Склад,"
                 "4.1.1.1.1 Стеллаж, 4.2 Бухгалтерия",
                 "2.1 4.1.1");
    }
    TTreeList* at(const char* number) { return project.FindByNumber(number); }
};

// The rows of every report, also of those the configured menu does not offer.
ReportParamRows rowsOf(int n)
{
    struct AllReports : TStructRes14 {
        int KindCount(ResKind kind) const override
        {
            return kind == ResKind::Report ? 12 : TStructRes14::KindCount(kind);
        }
    };
    ReportParamRows rows;
    EXPECT_TRUE(AllReports().ReportParams(n, rows));
    return rows;
}

QStringList entries(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QStringList levels(int n)
{
    QStringList texts{QStringLiteral("Все")};
    for (int k = 1; k <= n; ++k)
        texts << QString::number(k);
    return texts;
}

// Runs action on the parameter dialog once its modal loop has started.
void whenShown(std::function<void(ReportParamDialog&)> action)
{
    QTimer::singleShot(0, [action] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<ReportParamDialog*>(w); dialog && dialog->isVisible())
                return action(*dialog);
        }
        ADD_FAILURE() << "no parameter dialog is shown";
    });
}

}  // namespace

TEST(ParamDialog, FramesStackFromTheTopAndTheDialogFitsThem)
{
    TTreeList strategic;
    for (int k = 1; k <= 10; ++k)
        strategic.AddChild(Metamodel().DisplayName(k, ResKind::Classifier));
    FakePrompts prompts;
    ReportParamDialog five;
    ASSERT_TRUE(five.Build(strategic, rowsOf(10), prompts));
    five.show();
    ASSERT_EQ(five.Frames().size(), 5);
    QStringList captions;
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(five.Frames()[k]->objectName(), QStringLiteral("FrameParam%1").arg(k + 1));
        EXPECT_EQ(five.Frames()[k]->geometry(), QRect(0, 57 * k, 558, 57));
        captions << five.Frames()[k]->Label1->text();
    }
    EXPECT_EQ(captions, (QStringList{"Стратегии", "Возможности внешней среды",
                                     "Угрозы внешней среды", "Сильные стороны компании",
                                     "Слабые стороны компании"}));
    EXPECT_EQ(five.Panel1->geometry(), QRect(0, 5 * 57, 558, 42));
    EXPECT_EQ(five.size(), QSize(558, 5 * 57 + 42));
    EXPECT_EQ(five.minimumSize(), five.maximumSize());
    EXPECT_FALSE(five.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                                       Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // Stretched from its designed 503 pixels: the item column grows, the level column keeps
    // to the right edge.
    const TFrameParam* f = five.Frames()[0];
    EXPECT_EQ(f->ComboBox1->geometry(), QRect(7, 28, 338 + 55, 21));
    EXPECT_EQ(f->ComboBox2->geometry(), QRect(350 + 55, 28, 147, 21));
    EXPECT_EQ(f->Label2->x(), 350 + 55);

    five.CentreOnScreen();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((five.geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST(ParamDialog, ALargerSharedFontGetsTheRoomItsTextNeeds)
{
    TTreeList strategic;
    for (int k = 1; k <= 10; ++k)
        strategic.AddChild(Metamodel().DisplayName(k, ResKind::Classifier));
    FakePrompts prompts;
    for (int size : {12, 16, 24}) {
        const FontSpec font{"System", size};
        ReportParamDialog dialog(nullptr, &font);
        ASSERT_TRUE(dialog.Build(strategic, rowsOf(10), prompts));
        dialog.show();
        const QFontMetrics fm(dialog.font());
        int bottom = 0;
        for (const TFrameParam* f : dialog.Frames()) {
            EXPECT_EQ(f->y(), bottom);
            bottom = f->geometry().bottom() + 1;
            for (const QLabel* label : {f->Label1, f->Label2})
                EXPECT_GE(label->height(), fm.height()) << size;
            EXPECT_GE(f->Label2->width(), fm.horizontalAdvance(f->Label2->text())) << size;
            for (const QComboBox* box : {f->ComboBox1, f->ComboBox2}) {
                EXPECT_GE(box->height(), box->sizeHint().height()) << size;
                EXPECT_LE(box->geometry().right(), f->width()) << size;
                EXPECT_GE(box->y(), f->Label1->geometry().bottom()) << size;
            }
            EXPECT_GE(f->ComboBox2->width(), fm.horizontalAdvance(QStringLiteral("Все")) + 20);
            EXPECT_GE(f->ComboBox1->width(), 338) << size;
        }
        for (const QPushButton* button : {dialog.OKBtn, dialog.CancelBtn}) {
            EXPECT_GE(button->height(), fm.height()) << size;
            EXPECT_GE(button->width(), fm.horizontalAdvance(button->text())) << size;
            EXPECT_LE(button->geometry().bottom(), dialog.Panel1->height()) << size;
        }
        EXPECT_LT(dialog.OKBtn->geometry().right(), dialog.CancelBtn->x());
        EXPECT_EQ(dialog.Panel1->y(), bottom);
        EXPECT_EQ(dialog.height(), bottom + dialog.Panel1->height());
    }
}

// A larger shared font: the item list opens as wide as its entries need, none cut short.
TEST(ParamDialog, TheItemListOpensWideEnoughForEveryEntry)
{
    TMainTreeList project;
    TTreeList* units = project.TreeByIndex(4);
    for (const char* name : {"Дирекция по развитию региональной сети", "Склад", "Отдел ШЩЖ"}) {
        for (int i = 0; i < 4; ++i)
            units->AddChild(ToCp1251(name));
    }
    FakePrompts prompts;
    for (int size : {8, 14, 20}) {
        const FontSpec font{"DejaVu Sans", size};
        ReportParamDialog dialog(nullptr, &font);
        ASSERT_TRUE(dialog.Build(project, rowsOf(3), prompts));
        dialog.show();
        QComboBox* box = dialog.Frames()[0]->ComboBox1;
        box->showPopup();
        const QAbstractItemView* list = box->view();
        ASSERT_TRUE(list->isVisible());
        EXPECT_EQ(list->font(), dialog.font());
        // What the list's delegate asks for an entry is what it draws it in without eliding.
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.font = list->font();
        option.fontMetrics = QFontMetrics(option.font);
        for (int i = 0; i < box->count(); ++i) {
            const QModelIndex index = box->model()->index(i, 0);
            const int needed = list->itemDelegateForIndex(index)->sizeHint(option, index).width();
            EXPECT_GT(needed, QFontMetrics(option.font).horizontalAdvance(box->itemText(i)));
            EXPECT_LE(needed, list->viewport()->width()) << size << " " << i;
            EXPECT_LE(needed, list->visualRect(index).width()) << size << " " << i;
        }
        box->hidePopup();
    }
}

TEST(ParamDialog, EachModeOffersItsEntriesAndLevels)
{
    Company co;
    FakePrompts prompts;

    // Whole classifier: the tree node chosen and fixed, levels counted from its top items.
    ReportParamDialog whole;
    ASSERT_TRUE(whole.Build(co.project, rowsOf(1), prompts));
    TFrameParam* f = whole.Frames()[0];
    EXPECT_FALSE(f->ComboBox1->isEnabled());
    EXPECT_EQ(entries(f->ComboBox1),
              (QStringList{"4 Структурные звенья", "4.1 Дирекция", "4.1.1 Отдел закупок",
                           "4.1.1.1 Склад", "4.1.1.1.1 Стеллаж", "4.2 Бухгалтерия"}));
    EXPECT_EQ(f->ChosenNode(), co.at("4"));
    EXPECT_EQ(entries(f->ComboBox2), levels(4));

    // One item: no tree node; the first unit is preselected and is a level itself.
    ReportParamDialog one;
    ASSERT_TRUE(one.Build(co.project, rowsOf(3), prompts));
    f = one.Frames()[0];
    EXPECT_TRUE(f->ComboBox1->isEnabled());
    EXPECT_EQ(f->ComboBox1->count(), 5);
    EXPECT_EQ(f->ChosenNode(), co.at("4.1"));
    EXPECT_EQ(entries(f->ComboBox2), levels(4));
    EXPECT_EQ(f->Label1->text(), QStringLiteral("Структурные звенья"));

    // One item or all, also on a classifier without items: "Все" stands for the tree node.
    ReportParamRows rows{};
    rows[0] = {3, 2, "P"};
    rows[1] = {3, 3, "M"};
    ReportParamDialog any;
    ASSERT_TRUE(any.Build(co.project, rows, prompts));
    EXPECT_EQ(entries(any.Frames()[0]->ComboBox1), (QStringList{"Все", "2.1 Закупки"}));
    EXPECT_EQ(any.Frames()[0]->ChosenNode(), co.at("2"));
    EXPECT_EQ(entries(any.Frames()[1]->ComboBox1), QStringList{"Все"});
    EXPECT_EQ(entries(any.Frames()[1]->ComboBox2), levels(0));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(ParamDialog, ChoosingAnotherStartResetsTheLevels)
{
    Company co;
    FakePrompts prompts;
    ReportParamDialog dialog;
    ASSERT_TRUE(dialog.Build(co.project, rowsOf(3), prompts));
    dialog.show();
    TFrameParam* f = dialog.Frames()[0];
    f->ComboBox2->setCurrentIndex(3);
    // Arrow keys on the closed list, as the user steps through it.
    QTest::keyClick(f->ComboBox1, Qt::Key_Down);
    EXPECT_EQ(f->ChosenNode(), co.at("4.1.1"));
    EXPECT_EQ(entries(f->ComboBox2), levels(3));
    EXPECT_EQ(f->ComboBox2->currentIndex(), 0);
    f->ComboBox1->setCurrentIndex(4);  // Бухгалтерия
    EXPECT_EQ(entries(f->ComboBox2), levels(1));
}

TEST(ParamDialog, ConfirmStoresTheChoicesCancelAndEscapeStoreNothing)
{
    Company co;
    FakePrompts prompts;
    QtReportUi ui(nullptr, prompts, nullptr, {});
    ReportParamRows rows = rowsOf(3);
    whenShown([](ReportParamDialog& d) {
        d.Frames()[0]->ComboBox1->setCurrentIndex(1);
        d.Frames()[0]->ComboBox2->setCurrentIndex(2);
        QTest::mouseClick(d.OKBtn, Qt::LeftButton);
    });
    EXPECT_TRUE(ui.AskParameters(3, co.project, rows));
    EXPECT_EQ(rows[0].StartItem, co.at("4.1.1"));
    EXPECT_EQ(rows[0].Levels, 2);

    whenShown([](ReportParamDialog& d) {
        d.Frames()[0]->ComboBox1->setCurrentIndex(4);
        QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
    });
    EXPECT_FALSE(ui.AskParameters(3, co.project, rows));
    whenShown([](ReportParamDialog& d) {
        d.Frames()[0]->ComboBox2->setCurrentIndex(1);
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    EXPECT_FALSE(ui.AskParameters(3, co.project, rows));
    EXPECT_EQ(rows[0].StartItem, co.at("4.1.1"));
    EXPECT_EQ(rows[0].Levels, 2);
}

TEST(ParamDialog, RowWithoutItemsIsRefusedBeforeAnythingShows)
{
    TMainTreeList empty;
    FakePrompts prompts;
    QtReportUi ui(nullptr, prompts, nullptr, {});
    ReportParamRows rows = rowsOf(3);
    bool shown = false;
    QTimer::singleShot(0, [&] { shown = QApplication::activeModalWidget() != nullptr; });
    EXPECT_FALSE(ui.AskParameters(3, empty, rows));
    QApplication::processEvents();
    EXPECT_FALSE(shown);

    // A classifier the project does not have is refused alike, by the first such row.
    ReportParamDialog dialog;
    EXPECT_FALSE(dialog.Build(empty, rowsOf(8), prompts));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не заданы Структурные звенья!",
                                                           "Не заданы Возможности внешней среды!"}));
}

class ParamDialogMenu : public MainWindowTest {};

TEST_F(ParamDialogMenu, MenuCommandUsesTheDialogTheSettingsAndTheViewer)
{
    Populate(project(), "4.1 Дирекция, 4.1.1 Склад, 4.2 Бухгалтерия", "");
    context->Settings.ReportRtf = true;
    context->Settings.ReportUseInformation = true;
    std::vector<ReportDocument> viewed;
    whenShown([this](ReportParamDialog& d) {
        EXPECT_EQ(d.parentWidget(), window.get());
        d.Frames()[0]->ComboBox2->setCurrentIndex(1);
        d.OKBtn->click();
    });
    RunReportCommand(1, *window, [&](const ReportDocument& d) { viewed.push_back(d); });
    ASSERT_EQ(viewed.size(), 1u);
    const ReportOutcome expected = GenerateReport(project(), 1, {{"4", 1}}, {true, true});
    EXPECT_EQ(viewed[0].Bytes, expected.Document.Bytes);
    EXPECT_TRUE(viewed[0].IsRtf);
    EXPECT_EQ(viewed[0].Caption, expected.Document.Caption);
}
