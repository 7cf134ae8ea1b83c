#include "gui/kit/printer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace orm {

namespace {

QPrinter* g_sharedPrinter = nullptr;

void DeleteSharedPrinter()
{
    delete g_sharedPrinter;
    g_sharedPrinter = nullptr;
}

}  // namespace

QPrinter& SharedPrinter()
{
    if (!g_sharedPrinter) {
        g_sharedPrinter = new QPrinter(QPrinter::HighResolution);
        // Destroyed with the application object, while the print support still exists.
        qAddPostRoutine(DeleteSharedPrinter);
    }
    return *g_sharedPrinter;
}

void ShowPrinterSetup(QWidget* parent)
{
    QPageSetupDialog dialog(&SharedPrinter(), parent);
    dialog.exec();
}

QString PrintJobName(const QString& caption)
{
    QString name = caption.trimmed();
    if (QFileInfo(name).isAbsolute())
        name = QFileInfo(name).completeBaseName();
    static const QRegularExpression unfit(QStringLiteral("\\s*[/\\\\:*?\"<>|]+\\s*"));
    name.replace(unfit, QStringLiteral(" - "));
    name = name.simplified();
    while (name.startsWith(QStringLiteral("- ")))
        name.remove(0, 2);
    while (name.endsWith(QStringLiteral(" -")))
        name.chop(2);
    return name.isEmpty() ? QStringLiteral("Ормелит") : name;
}

}  // namespace orm
