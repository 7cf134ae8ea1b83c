#include "gui/kit/printer.h"

#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QPrinter>

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

}  // namespace orm
