#pragma once

// The report command of the "Отчеты" menu: the parameter dialog, the generator and the viewer.

#include <functional>

#include "report/reportgen.h"

class QWidget;

namespace orm {

class Prompts;
class TF_Main;
struct AppSettings;
struct FontSpec;

// Shows a finished document modally (the report viewer).
using ReportViewer = std::function<void(const ReportDocument&)>;

// The parameter dialog and the viewer for MakeReport.
class QtReportUi : public ReportUi {
public:
    // parent owns the modal dialog while it is open; font is the shared font (may be null).
    QtReportUi(QWidget* parent, Prompts& prompts, const FontSpec* font, ReportViewer viewer);

    // Runs TF_RepParam centred on the screen; true, with every row's StartItem and Levels
    // stored, when the user confirmed.
    bool AskParameters(int n, TTreeList& project, ReportParamRows& rows) override;
    void ShowReport(const ReportDocument& document) override;

private:
    QWidget* m_parent;
    Prompts& m_prompts;
    const FontSpec* m_font;
    ReportViewer m_viewer;
};

// Menu entries 301.. : report n of the main project, in the format and with the parameter
// block the settings ask for, shown through viewer.
void RunReportCommand(int n, TF_Main& mainWindow, const ReportViewer& viewer);
// The same from its pieces.
void RunReportCommand(int n, TTreeList& project, const AppSettings& settings, Prompts& prompts,
                      QWidget* parent, const FontSpec* font, const ReportViewer& viewer);

}  // namespace orm
