#pragma once

// The report command of the "Отчеты" menu: the parameter dialog, the generator and the viewer.

#include <functional>

#include "core/report/reportgen.h"

class QWidget;

namespace orm {

class Prompts;
class MainHub;
struct AppSettings;
struct FontSpec;

// Shows a finished document modally (the report viewer).
using ReportDisplay = std::function<void(const ReportDocument&)>;

// The parameter dialog and the viewer for MakeReport.
class QtReportUi : public ReportUi {
public:
    // parent owns the modal dialog while it is open; font is the shared font (may be null).
    QtReportUi(QWidget* parent, Prompts& prompts, const FontSpec* font, ReportDisplay viewer);

    // Runs the report parameter dialog centred on the screen; true, with every row's StartItem and
    // Levels stored, when the user confirmed.
    bool AskParameters(int n, TTreeList& project, ReportParamRows& rows) override;
    void ShowReport(const ReportDocument& document) override;

private:
    QWidget* m_parent;
    Prompts& m_prompts;
    const FontSpec* m_font;
    ReportDisplay m_viewer;
};

// Menu entries 301.. : report n of the main project, in the format and with the parameter
// block the settings ask for, shown through viewer.
void RunReportCommand(int n, MainHub& hub, const ReportDisplay& viewer);
// The same from its pieces.
void RunReportCommand(int n, TTreeList& project, const AppSettings& settings, Prompts& prompts,
                      QWidget* parent, const FontSpec* font, const ReportDisplay& viewer);

}  // namespace orm
