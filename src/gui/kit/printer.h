#pragma once

// The program's one printer, like the platform's default printer object: the printer setup
// dialog changes it and every printout that is not given a printer uses it.

class QPrinter;
class QString;
class QWidget;

namespace orm {

QPrinter& SharedPrinter();
// The page setup dialog of the shared printer ("printer setup").
void ShowPrinterSetup(QWidget* parent);

// A print job's name from a window caption, fit to be a file's base name, since a PDF printer
// proposes its file from it: the base name of a path, other characters that no file name takes
// replaced by " - ", never empty.
QString PrintJobName(const QString& caption);

}  // namespace orm
