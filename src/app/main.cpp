#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ормелит"));
    QMainWindow window;
    auto* area = new QMdiArea(&window);
    area->setBackground(QColor(102, 153, 204));
    window.setCentralWidget(area);
    window.setWindowTitle(QStringLiteral("Новый проект - Ормелит"));
    window.showMaximized();
    return app.exec();
}
