#include "gui/projection/projectionexport.h"

#include <QDir>
#include <QFile>

#include "core/model/metamodel.h"
#include "core/model/prompts.h"
#include "core/model/safefile.h"
#include "format/textcodec.h"
#include "gui/kit/printer.h"
#include "gui/projection/projectionprint.h"

namespace orm {

namespace {

// "1.2 Сбыт": the number and the name in one field, as the outline shows them; a number alone
// ("1.2") would be taken for a date by spreadsheets in Russian locales.
QString itemField(const ItemListEntry& entry)
{
    return FromCp1251(entry.Text) + QChar(' ') + FromCp1251(entry.Item->Name());
}

QString csvField(const QString& text)
{
    // Spreadsheets run a field that starts with one of these as a formula; an apostrophe in
    // front makes it text, as a user typing it would.
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && kFormulaStarts.contains(text.front()))
        return csvField(QChar('\'') + text);
    if (!text.contains(QChar(';')) && !text.contains(QChar('"')) && !text.contains(QChar('\n')) &&
        !text.contains(QChar('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QChar('"'), QStringLiteral("\"\""));
    return QChar('"') + quoted + QChar('"');
}

// Both classifiers' items, or false after the message about the empty one.
bool fillLists(int p, TTreeList& project, Prompts& prompts, ItemList& columns, ItemList& rows)
{
    const auto [a, b] = TStructRes::ProjectionPair(p);
    return project.FillItemList(b, rows, prompts) && project.FillItemList(a, columns, prompts);
}

}  // namespace

QByteArray ProjectionCsv(const QString& title, const ItemList& columns, const ItemList& rows)
{
    QString text;
    text += csvField(title);
    for (const ItemListEntry& column : columns)
        text += QChar(';') + csvField(itemField(column));
    text += QStringLiteral("\r\n");
    for (const ItemListEntry& row : rows) {
        text += csvField(itemField(row));
        for (const ItemListEntry& column : columns) {
            text += QChar(';');
            if (row.Item->ToggleLink(column.Item, false))
                text += QChar('X');
        }
        text += QStringLiteral("\r\n");
    }
    // The byte order mark makes spreadsheets read the file as UTF-8, Cyrillic intact.
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
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
