#include "gui/help/contexthelp.h"

#include <QApplication>
#include <QFile>
#include <QMdiSubWindow>
#include <QWidget>

#include "core/help/helpindex.h"
#include "core/settings/profile.h"
#include "format/textcodec.h"
#include "gui/help/helpwindow.h"
#include "gui/help/hotkeys.h"
#include "gui/kit/tf_base.h"

namespace orm {

namespace {

std::string g_indexFileName;

const QString kMainClassName = QStringLiteral("TF_Main");

bool isHelpForm(const QWidget* w)
{
    return w->isWindow() || qobject_cast<const TF_Base*>(w) ||
           w->objectName().startsWith(QLatin1String("TF_"));
}

bool isProgramWindow(const QWidget* w)
{
    return qobject_cast<const TF_Base*>(w) || w->objectName().startsWith(QLatin1String("TF_"));
}

QWidget* mainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == kMainClassName)
            return w;
    }
    return nullptr;
}

// Help opened from a modal dialog must belong to it, or the dialog would block it.
QWidget* helpParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return mainWindow();
}

}  // namespace

QString HelpClassName(const QWidget* w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    const QString name = QString::fromLatin1(w->metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

int HelpTag(const QWidget* w)
{
    if (const auto* base = qobject_cast<const TF_Base*>(w))
        return base->Tag();
    const QVariant tag = w->property("helpTag");
    return tag.isValid() ? tag.toInt() : 0;
}

QWidget* OwningHelpForm(QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w); sub && sub->widget())
            return sub->widget();
        if (isHelpForm(w))
            return w;
    }
    return nullptr;
}

std::string HelpContextName(QWidget* activeWindow, QWidget* focusWidget)
{
    // Qt's own windows (file, font and print dialogs, message boxes) have no help of their
    // own: they take that of the program window they were opened from, as it stood.
    while (activeWindow && !isProgramWindow(activeWindow)) {
        QWidget* opener = activeWindow->parentWidget() ? activeWindow->parentWidget()->window()
                                                       : mainWindow();
        if (opener == activeWindow)
            opener = nullptr;
        activeWindow = opener;
        focusWidget = opener ? opener->focusWidget() : nullptr;
    }
    if (!activeWindow)
        return ToCp1251(kMainClassName);
    const HelpForm active{ToCp1251(HelpClassName(activeWindow)), HelpTag(activeWindow)};
    QWidget* owner = focusWidget ? OwningHelpForm(focusWidget) : nullptr;
    if (owner && owner != activeWindow && owner->window() == activeWindow) {
        const HelpForm owning{ToCp1251(HelpClassName(owner)), HelpTag(owner)};
        return ContextName(&active, &owning);
    }
    return ContextName(&active, nullptr);
}

const std::string& TQhlFile::IndexFileName()
{
    return g_indexFileName;
}

void TQhlFile::SetIndexFileName(std::string nativePath)
{
    g_indexFileName = std::move(nativePath);
}

void TQhlFile::HelpKey(int, int)
{
    ShowContextHelp();
}

void InitContextHelp(TKXHotKey& hotKeys, const std::string& settingsFile,
                     const std::string& executablePath)
{
    TQhlFile::SetIndexFileName(
        HelpIndexFileNameFor(settingsFile, executablePath, TProfile::Shared()));
    hotKeys.AddHotKey(Qt::Key_F1, Qt::NoModifier, &TQhlFile::HelpKey);
}

void ShowContextHelp()
{
    ShowHelpTopic(HelpContextName(QApplication::activeWindow(), QApplication::focusWidget()));
}

void ShowHelpTopic(const std::string& context)
{
    const std::optional<HelpTopic> topic = LookUpHelpTopic(TQhlFile::IndexFileName(), context);
    if (!topic)
        return;
    HelpWindow::ShowTopic(QFile::decodeName(QByteArray::fromStdString(topic->HelpFile)),
                       topic->Keyword, helpParent());
}

}  // namespace orm
