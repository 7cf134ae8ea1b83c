#include "gui/classifier/findbar.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "core/model/itemsearch.h"
#include "core/model/treelist.h"
#include "format/textcodec.h"

namespace orm {

FindBar::FindBar(Hooks hooks, QWidget* parent)
    : QToolBar(QStringLiteral("Поиск"), parent), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("FindBar"));
    setMovable(false);
    addWidget(new QLabel(QStringLiteral(" Найти: "), this));
    Edit = new QLineEdit(this);
    Edit->setObjectName(QStringLiteral("FindEdit"));
    Edit->setPlaceholderText(QStringLiteral("номер или часть названия"));
    Edit->setClearButtonEnabled(true);
    Edit->setMinimumWidth(240);
    addWidget(Edit);
    Scope = new QComboBox(this);
    Scope->setObjectName(QStringLiteral("FindScope"));
    Scope->addItems({QStringLiteral("во всех классификаторах"),
                     QStringLiteral("в активном классификаторе")});
    addWidget(Scope);
    QAction* back = addAction(QStringLiteral("Назад"), this, [this] { FindNext(true); });
    back->setToolTip(QStringLiteral("Предыдущее совпадение (Shift+F3)"));
    QAction* next = addAction(QStringLiteral("Далее"), this, [this] { FindNext(false); });
    next->setToolTip(QStringLiteral("Следующее совпадение (Enter, F3)"));
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("FindStatus"));
    Status->setContentsMargins(8, 0, 8, 0);
    addWidget(Status);
    QAction* close = addAction(QStringLiteral("Закрыть"), this, &QWidget::hide);
    close->setToolTip(QStringLiteral("Закрыть поиск (Esc)"));
    connect(Edit, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
    connect(Edit, &QLineEdit::textChanged, Status, &QLabel::clear);
}

void FindBar::Open()
{
    show();
    Edit->setFocus();
    Edit->selectAll();
}

bool FindBar::FindNext(bool backwards)
{
    const QString text = Edit->text().trimmed();
    if (text.isEmpty()) {
        Open();
        return false;
    }
    const int k = Scope->currentIndex() == 1 ? m_hooks.activeClassifier() : 0;
    TTreeList* found = FindItem(*m_hooks.root(), ToCp1251(Cp1251Representable(text)), k,
                                m_hooks.selectedItem(), backwards);
    if (!found) {
        Status->setText(QStringLiteral("Не найдено"));
        return false;
    }
    Status->clear();
    m_hooks.showItem(found);
    return true;
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QToolBar::keyPressEvent(event);
}

}  // namespace orm
