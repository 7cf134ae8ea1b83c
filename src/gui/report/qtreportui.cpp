#include "gui/report/qtreportui.h"

#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "gui/report/reportparamdialog.h"

namespace orm {

QtReportUi::QtReportUi(QWidget* parent, Prompts& prompts, const FontSpec* font,
                       ReportDisplay viewer)
    : m_parent(parent), m_prompts(prompts), m_font(font), m_viewer(std::move(viewer))
{
}

bool QtReportUi::AskParameters(int, TTreeList& project, ReportParamRows& rows)
{
    ReportParamDialog dialog(m_parent, m_font);
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
                      QWidget* parent, const FontSpec* font, const ReportDisplay& viewer)
{
    QtReportUi ui(parent, prompts, font, viewer);
    // Read at every request: the settings dialog may have changed them since the last report.
    const ReportOptions options{settings.ReportRtf, settings.ReportUseInformation};
    MakeReport(n, project, options, ui, prompts);
}

void RunReportCommand(int n, MainHub& hub, const ReportDisplay& viewer)
{
    AppContext& context = hub.Context();
    RunReportCommand(n, context.MainProject, context.Settings, hub.prompts(), hub.HubWidget(),
                     &context.SharedFont, viewer);
}

}  // namespace orm
