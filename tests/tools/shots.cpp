// ormelit-shots PROJECT OUTDIR: opens PROJECT in the real main window, opens classifier windows 1
// and 4, and saves screenshots, so that the look can be checked under Xvfb.

#include <QApplication>
#include <QDir>
#include <QFontDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/organigram/diagdata.h"
#include "core/organigram/organigramfill.h"
#include "core/report/reportgen.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/findbar.h"
#include "gui/classifier/itemeditdialog.h"
#include "gui/kit/appcontext.h"
#include "gui/organigram/organigramwindow.h"
#include "gui/projection/projectionwindow.h"
#include "gui/report/reportviewer.h"
#include "gui/settings/settingsdialog.h"
#include "support/fakeprompts.h"

int main(int argc, char** argv)
{
    if (argc < 3)
        return 1;
    auto context = std::make_unique<orm::AppContext>();
    orm::LoadStartupSettings(*context, orm::ExecutablePath());
    context->Settings.TitleTime = 0;  // the splash would cover the windows
    QApplication app(argc, argv);
    orm::InstallTranslations(app);
    orm::test::FakePrompts prompts;
    orm::MainWindow window(*context, &prompts);
    window.resize(1200, 800);
    window.show();
    context->MainProject.LoadProjectFile(argv[1], prompts);
    context->MainProject.SetModified(false);
    window.ResetWindows();
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);

    QTimer::singleShot(300, [&] {
        window.grab().save(out + "/main-empty.png");
        orm::ClassifierWindow* a = window.OpenClassifier(1);
        orm::ClassifierWindow* b = window.OpenClassifier(4);
        a->Outline1->expandAll();
        b->Outline1->expandAll();
        window.WindowTileVertically1->trigger();
        const QAbstractItemModel* rows = b->Outline1->model();
        b->Outline1->setCurrentIndex(rows->index(1, 0, rows->index(0, 0, rows->index(0, 0))));
        QTimer::singleShot(300, [&] {
            window.grab().save(out + "/main-classifiers.png");
            window.MdiArea()->subWindowList().at(1)->grab().save(out + "/classifier4.png");
            context->Settings.GridSelectUnbind = true;
            window.OpenProjection(1);
            QTimer::singleShot(300, [&] {
                window.grab().save(out + "/main-projection.png");
                window.Finder()->Open();
                window.Finder()->Edit->setText(QStringLiteral("item 4/6"));
                window.Finder()->FindNext();
                QApplication::processEvents();
                window.grab().save(out + "/main-find.png");
                window.Finder()->hide();
                orm::SettingsDialog setup(context->Settings, context->SharedFont, prompts, &window);
                setup.show();
                QApplication::processEvents();
                setup.grab().save(out + "/settings.png");
                QFontDialog fonts(QFont(QStringLiteral("DejaVu Sans"), 10), &setup);
                orm::PrepareFontDialog(fonts);
                fonts.show();
                QApplication::processEvents();
                fonts.grab().save(out + "/fontdialog.png");
                fonts.hide();
                orm::ItemEditDialog edit(&window, &context->SharedFont);
                edit.setWindowTitle(QStringLiteral("Изменение"));
                edit.SetText(QStringLiteral("Отдел продаж"));
                edit.show();
                QApplication::processEvents();
                edit.grab().save(out + "/itemedit.png");

                orm::TDiagData diagram;
                orm::FillOrganigram(diagram, *context->MainProject.FindByNumber("4.1"));
                orm::OrganigramWindow chart(prompts, &window);
                chart.BuildPicture(diagram);
                chart.resize(900, 500);
                chart.show();
                QApplication::processEvents();
                chart.grab().save(out + "/organigram.png");

                orm::ReportOptions options;
                options.Rtf = true;
                orm::TTreeList* unit = context->MainProject.FindByNumber("4.1.2");
                const orm::ReportOutcome outcome =
                    orm::GenerateReport(context->MainProject, 3, {{unit->Number(), 0}}, options);
                orm::ReportViewer viewer(prompts, nullptr, &window);
                viewer.LoadDocument(outcome.Document.Bytes);
                viewer.resize(800, 600);
                viewer.show();
                QApplication::processEvents();
                viewer.grab().save(out + "/report.png");
                app.quit();
            });
        });
    });
    return app.exec();
}
