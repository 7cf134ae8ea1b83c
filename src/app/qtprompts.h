#pragma once

// The prompts interface answered by the user: message boxes, the item edit dialog and file
// dialogs, all parented to the main window.

#include <QString>
#include <QStringList>
#include <functional>

#include "model/prompts.h"

class QWidget;

namespace orm {

struct FontSpec;

class QtPrompts : public Prompts {
public:
    // title gives the caption of the message boxes (the application title).
    QtPrompts(QWidget* parent, std::function<QString()> title, const FontSpec* font);

    void Inform(const std::string& text) override;
    void Inform(const std::string& text, const std::string& caption) override;
    bool Confirm(const std::string& text) override;
    Answer AskYesNoCancel(const std::string& text) override;
    std::optional<std::string> InputText(const std::string& caption,
                                         const std::string& text) override;
    std::optional<std::string> OpenFileName(const FileDialogSpec& spec) override;
    std::optional<std::string> SaveFileName(const FileDialogSpec& spec) override;

private:
    QWidget* m_parent;
    std::function<QString()> m_title;
    const FontSpec* m_font;
};

// "Файлы Ормелит (*.ovx *.rem)" from the name and the ";"-separated patterns.
QString FileFilter(const FileDialogSpec& spec);
// The first filter and then the spec's further ones.
QStringList FileFilters(const FileDialogSpec& spec);

}  // namespace orm
