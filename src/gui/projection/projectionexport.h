#pragma once

// A projection outside the program: the printed pages as a PDF file, and the grid as a CSV
// table that spreadsheets open (UTF-8 with a byte order mark, ';' between fields).

#include <QByteArray>
#include <QString>

#include "core/model/treelist.h"
#include "core/settings/appsettings.h"

class QPrinter;
class QWidget;

namespace orm {

class Prompts;

// The grid as CSV: the first line holds title and the column items, number and name ("1.2
// Сбыт"), each further line a row item and "X" under every column it is bound to. Lines end CR LF; a field with ';',
// '"' or a line break is quoted.
QByteArray ProjectionCsv(const QString& title, const ItemList& columns, const ItemList& rows);

// "Экспорт в CSV…" of projection p: asks for the file and writes it through the safe save. An
// empty classifier is reported and writes nothing. True when the file was written.
bool ExportProjectionCsv(int p, const QString& title, TTreeList& project, Prompts& prompts);
// Asks for a CSV file of the grid of projection p, shows what it would change and applies it as
// one step when the user agrees; true when something changed.
bool ImportProjectionCsv(int p, TTreeList& project, Prompts& prompts);

// "Экспорт в PDF…" of projection p: the pages printing would make on printer's paper (nullptr:
// the shared printer). True when the file was written.
bool ExportProjectionPdf(int p, const QString& title, TTreeList& project,
                         const FontSpec& sharedFont, Prompts& prompts,
                         QPrinter* printer = nullptr);

}  // namespace orm
