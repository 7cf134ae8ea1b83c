// Loaded into a Qt program with LD_PRELOAD, makes it quit the first time its event loop has
// nothing left to do: start-up measured up to the moment a user could work, with the program
// itself unchanged.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

namespace {

void quitWhenIdle()
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp,
                     [] { QCoreApplication::exit(0); });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(quitWhenIdle)
