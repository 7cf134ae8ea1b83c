#include <QHeaderView>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QMdiSubWindow>
#include <QPainter>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>

#include "gui/classifier/classifierwindow.h"
#include "gui/projection/projectionwindow.h"
#include "support/guifixture.h"

using namespace orm;

namespace {

class ProjectionTest : public test::MainWindowTest {
protected:
    // Business directions 1.1 (1.1.1), 1.2; processes 2.1; structural units 4.1, 4.2, 4.3.
    void fill()
    {
        TTreeList* t1 = project().TreeByIndex(1);
        d1 = t1->AddChild(ToCp1251("Розница"));
        d11 = d1->AddChild(ToCp1251("Продукты"));
        d2 = t1->AddChild(ToCp1251("Опт"));
        p1 = project().TreeByIndex(2)->AddChild(ToCp1251("Закупки"));
        TTreeList* t4 = project().TreeByIndex(4);
        u1 = t4->AddChild(ToCp1251("Дирекция"));
        u2 = t4->AddChild(ToCp1251("Склад"));
        u3 = t4->AddChild(ToCp1251("Магазин"));
        u2->Link(d2);
        project().SetModified(false);
    }

    static QString cell(ProjectionWindow* grid, int row, int column)
    {
        return grid->Model()->data(grid->Model()->index(row, column), Qt::DisplayRole).toString();
    }

    static QStringList headers(ProjectionWindow* grid, Qt::Orientation o)
    {
        QStringList out;
        const int n = o == Qt::Horizontal ? grid->Model()->columnCount()
                                          : grid->Model()->rowCount();
        for (int i = 0; i < n; ++i)
            out << grid->Model()->headerData(i, o, Qt::DisplayRole).toString();
        return out;
    }

    void setCurrent(ProjectionWindow* grid, int row, int column)
    {
        grid->StringGrid1->setCurrentIndex(grid->Model()->index(row, column));
    }

    TTreeList *d1, *d11, *d2, *p1, *u1, *u2, *u3;
};

}  // namespace

TEST_F(ProjectionTest, RefusesClassifiersWithoutItems)
{
    QMenu* matrices = window->menuBar()->actions().at(3)->menu();
    matrices->actions().at(0)->trigger();
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не заданы Бизнес-направления!"}));
    project().TreeByIndex(1)->AddChild("a");
    EXPECT_EQ(window->OpenProjection(1), nullptr);
    EXPECT_EQ(prompts.informs().back(), "Не заданы Структурные звенья!");
    EXPECT_TRUE(window->ChildWindows().isEmpty());
}

TEST_F(ProjectionTest, LayoutOfTheThreeWindows)
{
    fill();
    window->resize(1000, 700);
    QApplication::processEvents();
    // The client area of the layout is the MDI area plus the main toolbar.
    const QSize client(window->MdiArea()->width(),
                       window->MdiArea()->height() + window->ToolBar1->height());
    ProjectionWindow* grid = window->OpenProjection(1);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->windowTitle(), QStringLiteral("Бизнес-направления // Структурные звенья"));
    const int w = client.width() - 4;
    const int h = (client.height() - window->ToolBar1->height() - 4) / 2;
    QMdiSubWindow* left = window->SubWindowOf(window->FindClassifierWindow(1));
    QMdiSubWindow* right = window->SubWindowOf(window->FindClassifierWindow(4));
    QMdiSubWindow* bottom = window->SubWindowOf(grid);
    EXPECT_EQ(left->geometry(), QRect(0, 0, w / 2, h));
    EXPECT_EQ(right->geometry(), QRect(w / 2, 0, w / 2, h));
    EXPECT_EQ(bottom->geometry(), QRect(0, h, w, h));
    EXPECT_EQ(window->MdiArea()->activeSubWindow(), bottom);

    // Projection 2 puts classifier 2 on the left and reuses classifier 4's window.
    ProjectionWindow* second = window->OpenProjection(2);
    EXPECT_EQ(window->SubWindowOf(window->FindClassifierWindow(2))->geometry(),
              QRect(0, 0, w / 2, h));
    EXPECT_EQ(window->SubWindowOf(window->FindClassifierWindow(4)), right);
    EXPECT_EQ(window->OpenProjection(1), grid);
    EXPECT_NE(second, grid);
    EXPECT_EQ(window->ChildWindows().size(), 5);
}

TEST_F(ProjectionTest, LayoutFigures)
{
    // 1000 x 700 client with a 29-pixel toolbar: 498 x 333 above, 996 wide below at 333.
    fill();
    window->resize(1000, 700 + window->menuBar()->height());
    QApplication::processEvents();
    const int clientHeight = window->MdiArea()->height() + window->ToolBar1->height();
    if (window->MdiArea()->width() != 1000 || clientHeight != 700)
        GTEST_SKIP() << "the platform gave another client size";
    ProjectionWindow* grid = window->OpenProjection(1);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(window->SubWindowOf(window->FindClassifierWindow(1))->geometry(),
              QRect(0, 0, 498, 333));
    EXPECT_EQ(window->SubWindowOf(window->FindClassifierWindow(4))->geometry(),
              QRect(498, 0, 498, 333));
    EXPECT_EQ(window->SubWindowOf(grid)->geometry(), QRect(0, 333, 996, 333));
}

TEST_F(ProjectionTest, CellsShowBindingsAndToggle)
{
    fill();
    ProjectionWindow* grid = window->OpenProjection(1);
    EXPECT_EQ(headers(grid, Qt::Horizontal), (QStringList{"1.1", "1.1.1", "1.2"}));
    EXPECT_EQ(headers(grid, Qt::Vertical), (QStringList{"4.1", "4.2", "4.3"}));
    EXPECT_EQ(cell(grid, 1, 2), QStringLiteral("X"));
    EXPECT_EQ(cell(grid, 0, 0), QString());

    setCurrent(grid, 2, 1);
    EXPECT_EQ(grid->ActionBind->text(), QStringLiteral("Создать &связь"));
    grid->StringGrid1->setFocus();
    QTest::keyClick(grid->StringGrid1, Qt::Key_Space);
    EXPECT_TRUE(u3->IsLinkedWith(d11));
    EXPECT_TRUE(d11->IsLinkedWith(u3));
    EXPECT_EQ(cell(grid, 2, 1), QStringLiteral("X"));
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(grid->ActionBind->text(), QStringLiteral("Удалить &связь"));
    EXPECT_EQ(grid->ActionBind->toolTip(), QStringLiteral("Удалить связь"));

    grid->ActionBind->trigger();
    EXPECT_FALSE(u3->IsLinkedWith(d11));
    EXPECT_EQ(cell(grid, 2, 1), QString());
    EXPECT_TRUE(project().Modified());

    // A double-click toggles the current cell.
    QApplication::processEvents();
    const QRect r = grid->StringGrid1->visualRect(grid->Model()->index(0, 0));
    // QTest's double-click alone lacks the press that the view pairs it with.
    QTest::mouseClick(grid->StringGrid1->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(grid->StringGrid1->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_TRUE(u1->IsLinkedWith(d1));
}

TEST_F(ProjectionTest, HintsNameTheCellsItems)
{
    fill();
    ProjectionWindow* grid = window->OpenProjection(1);
    TProjectionModel* m = grid->Model();
    EXPECT_FALSE(m->data(m->index(1, 2), Qt::ToolTipRole).isValid());
    // Without item hints a header still shows its whole number, which a deep item's 71 pixels
    // cut at the left, where its ancestors' components are.
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(),
              QStringLiteral("1.1.1"));
    EXPECT_EQ(grid->StringGrid1->horizontalHeader()->textElideMode(), Qt::ElideLeft);
    EXPECT_EQ(grid->StringGrid1->horizontalHeader()->defaultSectionSize(), 71);
    context->Settings.GridUseHint = true;
    EXPECT_EQ(m->data(m->index(1, 2), Qt::ToolTipRole).toString(), QStringLiteral("1.2 Опт\n4.2 Склад"));
    EXPECT_EQ(m->headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(),
              QStringLiteral("4.1 Дирекция"));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(),
              QStringLiteral("1.1.1 Продукты"));
    u1->Rename(std::string(200, 'n'));
    const QString hint = m->data(m->index(0, 0), Qt::ToolTipRole).toString();
    EXPECT_EQ(hint.section(QChar('\n'), 1), QStringLiteral("4.1 ") + QString(123, QChar('n')));
}

TEST_F(ProjectionTest, EngagementDecidesTheHatching)
{
    fill();
    ProjectionWindow* grid = window->OpenProjection(1);
    TProjectionModel* m = grid->Model();
    // Columns: 1.1 has a child (engaged), 1.1.1 none, 1.2 bound; rows: 4.1 none, 4.2 bound.
    EXPECT_EQ(m->Engagement(0, 1), 0);  // both unbound: the cross
    EXPECT_EQ(m->Engagement(0, 2), 2);  // the row alone is unbound
    EXPECT_EQ(m->Engagement(1, 1), 1);  // the column alone is unbound
    EXPECT_EQ(m->Engagement(1, 2), 3);
    EXPECT_EQ(m->Engagement(0, 0), 2);  // a column item with children is never unbound

    // Painted: the cross in red and green over a cell of two unbound items.
    context->Settings.GridSelectUnbind = true;
    grid->resize(600, 300);
    grid->show();
    QApplication::processEvents();
    const QImage shot = grid->StringGrid1->viewport()->grab().toImage();
    const QRect r = grid->StringGrid1->visualRect(m->index(0, 1));
    int red = 0, green = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            red += c == QColor(255, 0, 0);
            green += c == QColor(0, 128, 0);
        }
    }
    EXPECT_GT(red, 10);
    EXPECT_GT(green, 10);

    const UnboundPatterns patterns = UnboundPatterns::Make();
    const QImage both = patterns.Both.texture().toImage();
    EXPECT_EQ(both.pixelColor(3, 3), QColor(255, 0, 0));
    EXPECT_EQ(both.pixelColor(4, 3), QColor(0, 128, 0));
    EXPECT_EQ(both.pixelColor(0, 1), QColor(Qt::white));
    EXPECT_EQ(patterns.Column.texture().toImage().pixelColor(7, 0), QColor(Qt::white));
    EXPECT_EQ(patterns.Row.texture().toImage().pixelColor(7, 0), QColor(0, 128, 0));
}

TEST_F(ProjectionTest, GridsFollowClassifierEdits)
{
    fill();
    ProjectionWindow* grid1 = window->OpenProjection(1);
    ProjectionWindow* grid2 = window->OpenProjection(2);
    ClassifierWindow* units = window->FindClassifierWindow(4);

    // Deleting unit 4.2 renumbers 4.3 and drops the binding with it, in both grids.
    units->SelectItem(u2);
    prompts.queueConfirm(true);
    units->ActionDel->trigger();
    EXPECT_EQ(headers(grid1, Qt::Vertical), (QStringList{"4.1", "4.2"}));
    EXPECT_EQ(headers(grid2, Qt::Vertical), (QStringList{"4.1", "4.2"}));
    EXPECT_EQ(cell(grid1, 1, 2), QString());
    EXPECT_TRUE(d2->Links().empty());
    EXPECT_EQ(grid1->Model()->RowOf(u3), 1);
    EXPECT_EQ(grid1->Model()->RowOf(u2), -1);

    // Adding a business direction adds a column to grid 1 only.
    ClassifierWindow* directions = window->FindClassifierWindow(1);
    directions->SelectItem(d2);
    prompts.queueInput("Новое");
    directions->ActionAdd->trigger();
    EXPECT_EQ(headers(grid1, Qt::Horizontal), (QStringList{"1.1", "1.1.1", "1.2", "1.2.1"}));
    EXPECT_EQ(grid2->Model()->columnCount(), 1);

    // Deleting the last process closes grid 2 after the message.
    ClassifierWindow* processes = window->FindClassifierWindow(2);
    processes->SelectItem(p1);
    prompts.queueConfirm(true);
    processes->ActionDel->trigger();
    QApplication::processEvents();
    EXPECT_EQ(prompts.informs().back(),
              "Не заданы Основные и обеспечивающие процессы/функции!");
    EXPECT_EQ(window->FindProjectionWindow(2), nullptr);
    EXPECT_NE(window->FindProjectionWindow(1), nullptr);
}

TEST_F(ProjectionTest, SelectionIsMirroredWithoutEcho)
{
    fill();
    ProjectionWindow* grid = window->OpenProjection(1);
    ProjectionWindow* other = window->OpenProjection(2);
    ClassifierWindow* directions = window->FindClassifierWindow(1);
    ClassifierWindow* units = window->FindClassifierWindow(4);

    setCurrent(grid, 2, 1);
    EXPECT_EQ(directions->CurrentItem(), d11);
    EXPECT_EQ(units->CurrentItem(), u3);
    EXPECT_EQ(other->StringGrid1->currentIndex().row(), 2);
    EXPECT_EQ(grid->StringGrid1->currentIndex(), grid->Model()->index(2, 1));
    EXPECT_FALSE(context->SyncGuard);

    // A row picked in a classifier window moves the grids' current column or row.
    directions->Outline1->setCurrentIndex(Outline::RowOf(directions->Outline1, d2));
    EXPECT_EQ(grid->StringGrid1->currentIndex(), grid->Model()->index(2, 2));
    units->Outline1->setCurrentIndex(Outline::RowOf(units->Outline1, u1));
    EXPECT_EQ(grid->StringGrid1->currentIndex(), grid->Model()->index(0, 2));
    EXPECT_EQ(other->StringGrid1->currentIndex().row(), 0);
}

TEST_F(ProjectionTest, RepaintAfterEngagementChanges)
{
    fill();
    context->Settings.GridSelectUnbind = true;
    ProjectionWindow* grid1 = window->OpenProjection(1);
    project().TreeByIndex(3)->AddChild("m");
    ASSERT_NE(window->OpenProjection(3), nullptr);
    // Binding unbound unit 4.3 changes its engagement, which every grid shows.
    setCurrent(grid1, 2, 2);
    EXPECT_EQ(grid1->Model()->Engagement(2, 2), 2);
    grid1->ToggleBinding();
    EXPECT_EQ(grid1->Model()->Engagement(2, 2), 3);
    ProjectionWindow* found = window->FindProjectionWindow(3);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Model()->Engagement(2, 0) & 1, 1);
}

TEST_F(ProjectionTest, HeaderDoubleClickTogglesAndTheCurrentCellShowsOverHatching)
{
    fill();
    context->Settings.GridSelectUnbind = true;
    ProjectionWindow* grid = window->OpenProjection(1);
    QApplication::processEvents();

    // The current cell is toggled, whichever header cell is double-clicked.
    setCurrent(grid, 0, 0);
    for (QHeaderView* header :
         {grid->StringGrid1->verticalHeader(), grid->StringGrid1->horizontalHeader()}) {
        const QPoint at = header->orientation() == Qt::Vertical
                              ? QPoint(5, header->sectionViewportPosition(2) + 5)
                              : QPoint(header->sectionViewportPosition(1) + 5, 5);
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(cell(grid, 0, 0), header->orientation() == Qt::Vertical ? "X" : "");
        EXPECT_EQ(grid->StringGrid1->currentIndex(), grid->Model()->index(0, 0));
    }

    // Unit 4.3 has no link: its cells are hatched, the current one tinted all over.
    setCurrent(grid, 2, 2);
    ASSERT_EQ(grid->Model()->Engagement(2, 2), 2);
    const QImage image = grid->StringGrid1->viewport()->grab().toImage();
    const QRect inner = grid->StringGrid1->visualRect(grid->StringGrid1->currentIndex())
                            .adjusted(3, 3, -3, -3);
    int white = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x)
            white += image.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
    }
    EXPECT_EQ(white, 0);
}

TEST(ProjectionHeader, ThicknessIsPlainHeadersThickness)
{
    // Labels of 450 sections: QHeaderView measures the first and last hundred only, so a
    // widest label at 250 counts for neither, one at 420 for both.
    QStringList many;
    for (int i = 0; i < 450; ++i)
        many << QStringLiteral("4.%1").arg(i + 1);
    many[250] = QStringLiteral("4.1.1.1.1.1.1.1.1.1.1.1.1.250");
    many[420] = QStringLiteral("4.1.1.1.1.1.1.1.420");
    const std::vector<QStringList> cases = {
        {},
        {"1", "1.1", "1.1.1"},
        {"1.12.3", "12.345.6789.10.11.12", "4.1.1.1.1.1.10"},
        many,
        // Not all item numbers: a letter and a second line, in one label each.
        {"1.1", QStringLiteral("Щ.1"), "2\n2"},
    };
    QFont large = QApplication::font();
    large.setPointSize(26);
    QFont italic = QApplication::font();
    italic.setItalic(true);
    for (const QStringList& labels : cases) {
        QStandardItemModel model(static_cast<int>(labels.size()), static_cast<int>(labels.size()));
        model.setHorizontalHeaderLabels(labels);
        model.setVerticalHeaderLabels(labels);
        QHeaderView plainTop(Qt::Horizontal), plainSide(Qt::Vertical);
        TProjectionHeader top(Qt::Horizontal), side(Qt::Vertical);
        const std::vector<QHeaderView*> all = {&plainTop, &plainSide, &top, &side};
        for (QHeaderView* h : all)
            h->setModel(&model);
        // The thickness a table gives a header: no less than its hint, nor than its minimum.
        const auto same = [&](const char* what) {
            SCOPED_TRACE(what);
            SCOPED_TRACE(labels.join(' ').left(60).toStdString());
            EXPECT_EQ(std::max(0, top.sizeHint().height()),
                      std::max(0, plainTop.sizeHint().height()));
            EXPECT_EQ(std::max(0, side.sizeHint().width()),
                      std::max(0, plainSide.sizeHint().width()));
        };
        same("default font");
        for (const QFont& font : {large, italic}) {
            for (QHeaderView* h : all)
                h->setFont(font);
            same("another font");
        }
        for (const char* sheet : {"QHeaderView::section { padding: 9px; font-size: 17pt; }",
                                  "QHeaderView::section { padding: 1px; font-size: 11pt; }"}) {
            for (QHeaderView* h : all)
                h->setStyleSheet(QString::fromLatin1(sheet));
            same(sheet);
        }
        if (!labels.isEmpty()) {
            // A label changed in place, wider than all and on two lines.
            for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical})
                model.setHeaderData(0, o, QStringLiteral("99.99.99.99.99.99.99\n1"));
            same("a new label");
        }
    }
}

TEST_F(ProjectionTest, UnhatchedCellsLookAsTheStyleDrawsThem)
{
    // A style that marks every cell it draws, plain ones too.
    class Marking : public QProxyStyle {
    public:
        void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const override
        {
            QProxyStyle::drawControl(element, option, painter, widget);
            if (element == CE_ItemViewItem)
                painter->fillRect(option->rect.adjusted(3, 3, -30, -3), QColor(200, 150, 0));
        }
    };
    fill();
    context->Settings.GridSelectUnbind = false;
    ProjectionWindow* grid = window->OpenProjection(1);
    setCurrent(grid, 1, 1);
    QTableView* view = grid->StringGrid1;
    const UnboundPatterns patterns = UnboundPatterns::Make();
    Marking marking;
    // Plain cells, a bound one and the current one, as the view's style would paint them.
    for (QStyle* style : {view->style(), static_cast<QStyle*>(&marking)}) {
        view->setStyle(style);
        view->setItemDelegate(
            new TUnboundDelegate(*grid->Model(), context->Settings, patterns, view));
        const QImage ours = view->viewport()->grab().toImage();
        view->setItemDelegate(new QStyledItemDelegate(view));
        EXPECT_EQ(ours, view->viewport()->grab().toImage()) << (style == &marking);
    }
    view->setStyle(nullptr);
}
