#pragma once

// The program's one printer, like the platform's default printer object: the printer setup
// dialog changes it and every printout that is not given a printer uses it.

class QPrinter;
class QWidget;

namespace orm {

QPrinter& SharedPrinter();
// The page setup dialog of the shared printer ("printer setup").
void ShowPrinterSetup(QWidget* parent);

}  // namespace orm
