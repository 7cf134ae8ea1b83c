// The yardstick of start-up: a bare Qt 6 MDI main window, shown as Ормелит shows its own.

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QMdiArea(&window));
    window.showMaximized();
    return app.exec();
}
