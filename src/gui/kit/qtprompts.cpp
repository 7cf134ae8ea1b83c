#include "gui/kit/qtprompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "format/textcodec.h"

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

std::optional<std::string> QtPrompts::InputText(const std::string& caption,
                                                const std::string& text)
{
    const std::optional<QString> answer = m_input(m_parent, FromCp1251(caption), FromCp1251(text));
    if (!answer)
        return std::nullopt;
    return ToCp1251(*answer);
}

namespace {

std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save)
{
    QFileDialog dialog(parent, FromCp1251(spec.title));
    dialog.setNameFilters(FileFilters(spec));
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExtension));
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!spec.initialFileName.empty())
            dialog.selectFile(QString::fromStdString(spec.initialFileName));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

std::optional<std::string> QtPrompts::OpenFileName(const FileDialogSpec& spec)
{
    return runFileDialog(m_parent, spec, false);
}

std::optional<std::string> QtPrompts::SaveFileName(const FileDialogSpec& spec)
{
    return runFileDialog(m_parent, spec, true);
}

}  // namespace orm
