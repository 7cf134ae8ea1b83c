#include "gui/projection/projectionexport.h"

#include <QDir>
#include <QFile>

#include "core/exchange/matrixcsv.h"
#include "core/io/safefile.h"
#include "core/model/metamodel.h"
#include "core/prompts/prompts.h"
#include "format/textcodec.h"
#include "gui/kit/printer.h"
#include "gui/projection/projectionprint.h"

namespace orm {

namespace {

// Both classifiers' items, or false after the message about the empty one.
bool fillLists(int p, TTreeList& project, Prompts& prompts, ItemList& columns, ItemList& rows)
{
    const auto [a, b] = TStructRes::ProjectionPair(p);
    return project.FillItemList(b, rows, prompts) && project.FillItemList(a, columns, prompts);
}

}  // namespace

QByteArray ProjectionCsv(const QString& title, const ItemList& columns, const ItemList& rows)
{
    return QByteArray::fromStdString(WriteMatrixCsv(ToCp1251(title), columns, rows));
}

bool ExportProjectionCsv(int p, const QString& title, TTreeList& project, Prompts& prompts)
{
    ItemList columns;
    ItemList rows;
    if (!fillLists(p, project, prompts, columns, rows))
        return false;
    FileDialogSpec dialog;
    dialog.title = ToCp1251(QStringLiteral("Экспорт в CSV"));
    dialog.filterName = ToCp1251(QStringLiteral("Таблица CSV"));
    dialog.filterPatterns = "*.csv";
    dialog.defaultExtension = "csv";
    dialog.initialFileName =
        QFile::encodeName(PrintJobName(title) + QStringLiteral(".csv")).toStdString();
    const std::optional<std::string> path = prompts.SaveFileName(dialog);
    if (!path)
        return false;
    const QByteArray bytes = ProjectionCsv(title, columns, rows);
    if (!WriteFileAtomically(*path, bytes.toStdString())) {
        prompts.ShowError(ToCp1251(QStringLiteral("Не удается записать файл \"%1\".")
                                       .arg(QDir::toNativeSeparators(
                                           QFile::decodeName(path->c_str())))));
        return false;
    }
    return true;
}

bool ImportProjectionCsv(int p, TTreeList& project, Prompts& prompts)
{
    FileDialogSpec dialog;
    dialog.title = ToCp1251(QStringLiteral("Импорт из CSV"));
    dialog.filterName = ToCp1251(QStringLiteral("Таблица CSV"));
    dialog.filterPatterns = "*.csv;*.txt";
    dialog.defaultExtension = "csv";
    const std::optional<std::string> path = prompts.OpenFileName(dialog);
    if (!path)
        return false;
    const std::optional<std::string> bytes = ReadFileBytes(*path);
    if (!bytes) {
        prompts.ShowError(ToCp1251(QStringLiteral("Не удается прочитать файл \"%1\".")
                                       .arg(QDir::toNativeSeparators(
                                           QFile::decodeName(path->c_str())))));
        return false;
    }
    const auto [a, b] = TStructRes::ProjectionPair(p);
    const MatrixImport import = ReadMatrixCsv(project, a, b, *bytes);
    if (!import.Error.empty()) {
        prompts.ShowError(import.Error);
        return false;
    }
    if (import.Changes.empty()) {
        prompts.Inform(MatrixImportSummary(import));
        return false;
    }
    if (!prompts.Confirm(MatrixImportSummary(import) + ToCp1251(QStringLiteral("\nПрименить?")),
                         Prompts::Answer::Yes))
        return false;
    ApplyMatrix(import);
    return true;
}

bool ExportProjectionPdf(int p, const QString& title, TTreeList& project,
                         const FontSpec& sharedFont, Prompts& prompts, QPrinter* printer)
{
    TPrGrd grid(sharedFont, printer);
    if (!fillLists(p, project, prompts, grid.ColumnLabels, grid.RowLabels))
        return false;
    grid.JobTitle = title;
    grid.DocName = title;
    return grid.ExportPdf(prompts);
}

}  // namespace orm
