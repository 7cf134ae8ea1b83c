#pragma once

// Every question the program asks the user goes through this interface: the core never opens a
// window. The GUI answers with message boxes and file dialogs; tests answer from a script.
// Texts are Windows-1251 bytes like every other text of the core; file names are native paths.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/io/progress.h"

namespace orm {

struct FileDialogSpec {
    struct Filter {
        std::string name;      // "Файл RTF"
        std::string patterns;  // "*.rtf"
    };
    std::string title;             // "Открытие файла"
    std::string filterName;        // "Файлы Ормелит": the first filter, chosen at first
    std::string filterPatterns;    // "*.ovx;*.rem"
    std::string defaultExtension;  // "ovx", without the dot
    std::string initialFileName;   // native path, may be empty
    std::vector<Filter> moreFilters;  // offered after the first
};

class Prompts {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;

    // Information box with an OK button.
    virtual void Inform(const std::string& text) = 0;
    // The same under a caption of its own (the program's title otherwise).
    virtual void Inform(const std::string& text, const std::string& caption)
    {
        (void)caption;
        Inform(text);
    }
    // Error box with an OK button: something the user asked for failed.
    virtual void ShowError(const std::string& text) { Inform(text); }
    // Confirmation with Yes and No; closing the box counts as No. defaultAnswer (Yes or No) is
    // the button Enter presses: No for a question whose Yes replaces or deletes something that
    // cannot be got back, so that a hasty Enter loses nothing.
    virtual bool Confirm(const std::string& text, Answer defaultAnswer) = 0;
    // A question whose Yes loses nothing: Yes is the default.
    bool Confirm(const std::string& text) { return Confirm(text, Answer::Yes); }
    // Warning with Yes, No and Cancel; closing the box counts as Cancel.
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
    // The one-line input dialog: the confirmed text, or nothing when cancelled.
    virtual std::optional<std::string> InputText(const std::string& caption,
                                                 const std::string& text) = 0;
    virtual std::optional<std::string> OpenFileName(const FileDialogSpec& spec) = 0;
    virtual std::optional<std::string> SaveFileName(const FileDialogSpec& spec) = 0;
    // A folder to write into, chosen under the caption title; nothing when cancelled. Prompts
    // without a folder to offer decline.
    virtual std::optional<std::string> FolderName(const std::string& title)
    {
        (void)title;
        return std::nullopt;
    }

    // Long work under a line that says what it does ("Открытие проекта…"); work reports to the
    // Progress it is given. The GUI shows a busy cursor at once and, when the work lasts, a
    // progress dialog whose Cancel makes that Progress answer false. False when the work was
    // cancelled, that is when it threw WorkCancelled.
    bool RunWork(const std::string& text, const std::function<void(const Progress&)>& work)
    {
        try {
            ShowWork(text, work);
        } catch (const WorkCancelled&) {
            return false;
        }
        return true;
    }

protected:
    // Runs work with a Progress that shows how it goes; prompts without a screen give none.
    virtual void ShowWork(const std::string& text,
                          const std::function<void(const Progress&)>& work)
    {
        (void)text;
        work(Progress());
    }
};

}  // namespace orm
