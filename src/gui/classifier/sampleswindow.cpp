#include "gui/classifier/sampleswindow.h"

#include <QVBoxLayout>

#include "core/model/metamodel.h"
#include "core/model/project.h"
#include "gui/classifier/outlinemodel.h"
#include "gui/kit/uikit.h"

namespace orm {

SamplesWindow::SamplesWindow(MainHub* hub, QWidget* parent) : TF_Base(hub, 0, parent)
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

void SamplesWindow::FillOutlineAll(TMainTreeList& project)
{
    const int trees = std::min(Metamodel().KindCount(ResKind::Classifier), project.Count());
    std::vector<TTreeList*> tops;
    for (int k = 1; k <= trees; ++k)
        tops.push_back(project.TreeByIndex(k));
    Outline1->Model()->SetTops(std::move(tops));
}

void SamplesWindow::ReleaseOutline()
{
    Outline1->Model()->SetTops({});
}

}  // namespace orm
