#include "report/qtreportui.h"

#include "app/appcontext.h"
#include "app/mainwindow.h"
#include "report/paramdialog.h"

namespace orm {

QtReportUi::QtReportUi(QWidget* parent, Prompts& prompts, const FontSpec* font,
                       ReportViewer viewer)
    : m_parent(parent), m_prompts(prompts), m_font(font), m_viewer(std::move(viewer))
{
}

bool QtReportUi::AskParameters(int, TTreeList& project, ReportParamRows& rows)
{
    TF_RepParam dialog(m_parent, m_font);
    if (!dialog.Build(project, rows, m_prompts))
        return false;
    dialog.CentreOnScreen();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.Store(rows);
    return true;
}

void QtReportUi::ShowReport(const ReportDocument& document)
{
    if (m_viewer)
        m_viewer(document);
}

void RunReportCommand(int n, TTreeList& project, const AppSettings& settings, Prompts& prompts,
                      QWidget* parent, const FontSpec* font, const ReportViewer& viewer)
{
    QtReportUi ui(parent, prompts, font, viewer);
    // Read at every request: the settings dialog may have changed them since the last report.
    const ReportOptions options{settings.ReportRtf, settings.ReportUseInformation};
    MakeReport(n, project, options, ui, prompts);
}

void RunReportCommand(int n, TF_Main& mainWindow, const ReportViewer& viewer)
{
    AppContext& context = mainWindow.Context();
    RunReportCommand(n, context.MainProject, context.Settings, mainWindow.prompts(), &mainWindow,
                     &context.SharedFont, viewer);
}

}  // namespace orm
