#include "classifier/sampleswindow.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "classifier/classifierwindow.h"
#include "model/metamodel.h"
#include "model/project.h"

namespace orm {

TF_SAMPL::TF_SAMPL(TF_Main* mainWindow, QWidget* parent) : TF_Base(mainWindow, 0, parent)
{
    setObjectName(QStringLiteral("TF_SAMPL"));
    setWindowTitle(QStringLiteral("Примеры классификаторов"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/samples-open.svg")));
    resize(533, 304);
    Outline1 = new QTreeWidget(this);
    Outline1->setObjectName(QStringLiteral("Outline1"));
    Outline1->setHeaderHidden(true);
    Outline1->setColumnCount(1);
    Outline1->setUniformRowHeights(true);
    Outline1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Outline1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Outline1->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Outline1);
}

void TF_SAMPL::FillOutlineAll(TMainTreeList& project)
{
    Outline1->clear();
    const int trees = std::min(Metamodel().KindCount(ResKind::Classifier), project.Count());
    for (int k = 1; k <= trees; ++k)
        Outline::Append(Outline1, project.TreeByIndex(k));
}

}  // namespace orm
