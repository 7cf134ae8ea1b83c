#include "gui/report/reportlinks.h"

#include <QMouseEvent>
#include <QRegularExpression>
#include <QTextEdit>
#include <QToolTip>
#include <QUrl>

#include "core/help/shellopen.h"
#include "core/prompts/prompts.h"
#include "format/textcodec.h"
#include "gui/help/runprogram.h"

namespace orm {

ReportLinks::ReportLinks(QTextEdit* view, Prompts& prompts, std::function<QString()> folder)
    : QObject(view), m_view(view), m_prompts(prompts), m_folder(std::move(folder))
{
    // Links show the pointing hand; they open only with Ctrl, so that a click still selects.
    view->setTextInteractionFlags(view->textInteractionFlags() | Qt::LinksAccessibleByMouse);
    view->viewport()->installEventFilter(this);
}

void ReportLinks::Open(const QString& target)
{
    if (target.startsWith(QChar('#'))) {
        m_view->scrollToAnchor(target.mid(1));
        return;
    }
    TRunPrg prg;
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch()) {
        // An address goes as ASCII, so that nothing of it is lost to the code page.
        prg.ProgramName = QUrl(target).toEncoded().toStdString();
    } else {
        // A file named as Windows names it, relative to the document's folder.
        QString file = target;
        file.replace(QChar('\\'), QChar('/'));
        prg.ProgramName = ToCp1251(file);
        prg.StartDir = ToCp1251(m_folder ? m_folder() : QString());
    }
    try {
        prg.Run();
    } catch (const ERunPrgError& e) {
        m_prompts.ShowError(e.what());
    }
}

bool ReportLinks::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString target = m_view->anchorAt(help->pos());
        if (!target.isEmpty()) {
            QToolTip::showText(help->globalPos(), target, m_view->viewport());
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ControlModifier)) {
            const QString target = m_view->anchorAt(mouse->position().toPoint());
            if (!target.isEmpty()) {
                Open(target);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orm
