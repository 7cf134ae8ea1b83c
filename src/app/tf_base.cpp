#include "app/tf_base.h"

#include <QApplication>

#include "app/appcontext.h"
#include "app/mainwindow.h"
#include "app/textcodec.h"

namespace orm {

QFont SharedQFont(const FontSpec& spec)
{
    QFont font = QApplication::font();
    const QString face = FromCp1251(spec.Face);
    if (!face.isEmpty() && face.compare(QStringLiteral("System"), Qt::CaseInsensitive) != 0)
        font.setFamily(face);
    if (spec.Size > 0)
        font.setPointSize(spec.Size);
    return font;
}

TF_Base::TF_Base(TF_Main* mainWindow, int tag, QWidget* parent)
    : QWidget(parent), m_mainWindow(mainWindow), m_tag(tag)
{
    setAttribute(Qt::WA_DeleteOnClose);
    ApplySharedFont();
}

void TF_Base::ApplySharedFont()
{
    if (m_mainWindow)
        setFont(SharedQFont(m_mainWindow->Context().SharedFont));
}

}  // namespace orm
