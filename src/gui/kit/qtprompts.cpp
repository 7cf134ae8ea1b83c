#include "gui/kit/qtprompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

#include "format/textcodec.h"
#include "gui/kit/busywork.h"

namespace orm {

namespace {

QString filterText(const std::string& name, const std::string& patterns)
{
    QString list = QString::fromStdString(patterns);
    list.replace(QChar(';'), QChar(' '));
    return FromCp1251(name) + QStringLiteral(" (") + list + QStringLiteral(")");
}

}  // namespace

QString FileFilter(const FileDialogSpec& spec)
{
    return filterText(spec.filterName, spec.filterPatterns);
}

QStringList FileFilters(const FileDialogSpec& spec)
{
    QStringList filters{FileFilter(spec)};
    for (const FileDialogSpec::Filter& f : spec.moreFilters)
        filters << filterText(f.name, f.patterns);
    return filters;
}

QtPrompts::QtPrompts(QWidget* parent, std::function<QString()> title, InputDialog input)
    : m_parent(parent), m_title(std::move(title)), m_input(std::move(input))
{
}

void QtPrompts::Inform(const std::string& text)
{
    QMessageBox box(QMessageBox::Information, m_title(), FromCp1251(text), QMessageBox::Ok,
                    m_parent);
    box.exec();
}

void QtPrompts::Inform(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Information, FromCp1251(caption), FromCp1251(text),
                    QMessageBox::Ok, m_parent);
    box.exec();
}

void QtPrompts::ShowError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, m_title(), FromCp1251(text), QMessageBox::Ok,
                    m_parent);
    box.exec();
}

bool QtPrompts::Confirm(const std::string& text, Answer defaultAnswer)
{
    QMessageBox box(QMessageBox::Question, m_title(), FromCp1251(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Prompts::Answer QtPrompts::AskYesNoCancel(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, m_title(), FromCp1251(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void QtPrompts::ShowWork(const std::string& text,
                         const std::function<void(const Progress&)>& work)
{
    // Modal to the dialog the work was started from (a report viewer exporting), if any.
    QWidget* modal = QApplication::activeModalWidget();
    BusyWork busy(modal ? modal : m_parent, FromCp1251(text), m_title());
    work(busy.Callback());
}

std::optional<std::string> QtPrompts::InputText(const std::string& caption,
                                                const std::string& text)
{
    const std::optional<QString> answer = m_input(m_parent, FromCp1251(caption), FromCp1251(text));
    if (!answer)
        return std::nullopt;
    return ToCp1251(*answer);
}

namespace {

QString& dialogFolder()
{
    static QString folder;
    return folder;
}

// The extension a save takes when the user types a bare name with this filter chosen: the
// first pattern's, when it names one ("*.svg"); none for "*.*".
QString suffixOf(const std::string& patterns)
{
    const QString first = QString::fromStdString(patterns).section(QChar(';'), 0, 0).trimmed();
    const QString suffix = first.section(QChar('.'), 1);
    return first.startsWith(QStringLiteral("*.")) && !suffix.isEmpty() &&
                   !suffix.contains(QChar('*')) && !suffix.contains(QChar('?'))
               ? suffix
               : QString();
}

// Wide enough for every column of the detail view at the dialog's font, within the screen.
void sizeForColumns(QFileDialog& dialog)
{
    const QFontMetrics fm(dialog.font());
    QSize size(fm.averageCharWidth() * 130, fm.height() * 32);
    if (QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!tree)
        return;
    const int pad = fm.averageCharWidth() * 3;
    const auto widthOf = [&](std::initializer_list<const char*> samples) {
        int width = 0;
        for (const char* sample : samples)
            width = std::max(width, fm.horizontalAdvance(QString::fromUtf8(sample)));
        return width + pad;
    };
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->resizeSection(1, widthOf({"Размер", "1 023,99 KiB"}));
    header->resizeSection(2, widthOf({"Тип", "Документ OpenDocument", "Файл Ормелит"}));
    header->resizeSection(3, widthOf({"Дата изменения", "31.12.2026 23:59"}));
}

std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save)
{
    QFileDialog dialog(parent, FromCp1251(spec.title));
    const QStringList filters = FileFilters(spec);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
    dialog.setViewMode(QFileDialog::Detail);
    // Not the working folder, which means nothing to the user.
    dialog.setDirectory(dialogFolder().isEmpty() ? QDir::homePath() : dialogFolder());
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!spec.initialFileName.empty())
            dialog.selectFile(QString::fromStdString(spec.initialFileName));
        // A bare name takes the extension of the type chosen, not always the first one's.
        QStringList suffixes{QString::fromStdString(spec.defaultExtension)};
        for (const FileDialogSpec::Filter& f : spec.moreFilters)
            suffixes << suffixOf(f.patterns);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, filters, suffixes](const QString& filter) {
                             const qsizetype i = filters.indexOf(filter);
                             if (i >= 0)
                                 dialog.setDefaultSuffix(suffixes[i]);
                         });
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    sizeForColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    dialogFolder() = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

}  // namespace

void SetFileDialogFolder(const QString& folder)
{
    dialogFolder() = folder;
}

QString FileDialogFolder()
{
    return dialogFolder();
}

std::optional<std::string> QtPrompts::OpenFileName(const FileDialogSpec& spec)
{
    return runFileDialog(m_parent, spec, false);
}

std::optional<std::string> QtPrompts::SaveFileName(const FileDialogSpec& spec)
{
    return runFileDialog(m_parent, spec, true);
}

std::optional<std::string> QtPrompts::FolderName(const std::string& title)
{
    QFileDialog dialog(m_parent, FromCp1251(title));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setDirectory(dialogFolder().isEmpty() ? QDir::homePath() : dialogFolder());
    sizeForColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    dialogFolder() = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

}  // namespace orm
