#pragma once

// The prompts interface answered by the user: message boxes, a one-line input dialog and file
// dialogs, all parented to the main window.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/prompts/prompts.h"

class QWidget;

namespace orm {

class QtPrompts : public Prompts {
public:
    // The dialog that asks for a line of text: the text confirmed, or nothing when cancelled.
    using InputDialog = std::function<std::optional<QString>(
        QWidget* parent, const QString& caption, const QString& text)>;

    // title gives the caption of the message boxes (the application title); input is the
    // dialog InputText shows, handed in by whoever knows it.
    QtPrompts(QWidget* parent, std::function<QString()> title, InputDialog input);

    void Inform(const std::string& text) override;
    void Inform(const std::string& text, const std::string& caption) override;
    void ShowError(const std::string& text) override;
    bool Confirm(const std::string& text, Answer defaultAnswer) override;
    using Prompts::Confirm;
    Answer AskYesNoCancel(const std::string& text) override;
    std::optional<std::string> InputText(const std::string& caption,
                                         const std::string& text) override;
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override;
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override;
    std::optional<std::string> FolderName(const std::string& title) override;

protected:
    // A busy cursor, and a progress dialog over the window in front when the work lasts.
    void ShowWork(const std::string& text,
                  const std::function<void(const Progress&)>& work) override;

private:
    QWidget* m_parent;
    std::function<QString()> m_title;
    InputDialog m_input;
};

// The folder the file dialogs start in: the current project's, or the last one a dialog went
// to (each accepted dialog sets it); the home folder before either.
void SetFileDialogFolder(const QString& folder);
QString FileDialogFolder();

// "Файлы Ормелит (*.ovx *.rem)" from the name and the ";"-separated patterns.
QString FileFilter(const FileDialogSpec& spec);
// The first filter and then the spec's further ones.
QStringList FileFilters(const FileDialogSpec& spec);

}  // namespace orm
