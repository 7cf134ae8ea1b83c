#pragma once

// Scripted answers for the prompts interface: each question takes the next queued answer of its
// kind (a missing answer fails the test) and every text shown is recorded in UTF-8.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts/prompts.h"

namespace orm::test {

class FakePrompts : public Prompts {
public:
    // Queue answers (texts in UTF-8; they are converted to the core's Windows-1251).
    void queueConfirm(bool yes) { m_confirms.push_back(yes); }
    void queueAnswer(Answer a) { m_answers.push_back(a); }
    void queueInput(std::optional<std::string> utf8);
    void queueOpen(std::optional<std::string> path) { m_opens.push_back(std::move(path)); }
    void queueSave(std::optional<std::string> path) { m_saves.push_back(std::move(path)); }
    void queueFolder(std::optional<std::string> path) { m_folders.push_back(std::move(path)); }

    // What was shown, in order, each entry "<kind>: <text>" with kind inform, error, confirm,
    // ask, input, open, save; texts in UTF-8.
    std::vector<std::string> shown;
    std::vector<FileDialogSpec> dialogs;
    // The default button each confirmation was asked with, in order.
    std::vector<Answer> confirmDefaults;
    // Runs while each question or message is "on screen", as a repaint of the windows behind a
    // real box would.
    std::function<void()> whileShown;
    // The line of each piece of long work run (RunWork), in UTF-8, and the progress every
    // one of them reports to (none unless a test sets one).
    std::vector<std::string> works;
    Progress workProgress;
    // Only the texts of information boxes, in UTF-8.
    std::vector<std::string> informs() const;
    // Only the texts of error boxes, in UTF-8.
    std::vector<std::string> errors() const;
    bool allAnswersUsed() const;

    void Inform(const std::string& text) override;
    using Prompts::Inform;
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
    void ShowWork(const std::string& text,
                  const std::function<void(const Progress&)>& work) override;

private:
    std::deque<bool> m_confirms;
    std::deque<Answer> m_answers;
    std::deque<std::optional<std::string>> m_inputs;
    std::deque<std::optional<std::string>> m_opens;
    std::deque<std::optional<std::string>> m_saves;
    std::deque<std::optional<std::string>> m_folders;
};

}  // namespace orm::test
