#include "classifier/sampleswindow.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/uikit.h"
#include "classifier/classifierwindow.h"
#include "model/metamodel.h"
#include "model/project.h"

namespace orm {

TF_SAMPL::TF_SAMPL(TF_Main* mainWindow, QWidget* parent) : TF_Base(mainWindow, 0, parent)
{
    setObjectName(QStringLiteral("TF_SAMPL"));
    setWindowTitle(QStringLiteral("Примеры классификаторов"));
    setWindowIcon(BundledIcon("samples-open"));
    resize(533, 304);
    Outline1 = Outline::Create(this);
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
