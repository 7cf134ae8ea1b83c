#include "gui/kit/tf_base.h"

#include <QApplication>

#include "format/textcodec.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"

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

TF_Base::TF_Base(MainHub* hub, int tag, QWidget* parent) : QWidget(parent), m_hub(hub), m_tag(tag)
{
    setAttribute(Qt::WA_DeleteOnClose);
    ApplySharedFont();
}

void TF_Base::ApplySharedFont()
{
    if (m_hub)
        setFont(SharedQFont(m_hub->Context().SharedFont));
}

}  // namespace orm
