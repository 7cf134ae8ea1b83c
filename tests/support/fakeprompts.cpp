#include "support/fakeprompts.h"

#include <gtest/gtest.h>

#include "core/text/cp1251.h"

namespace orm::test {

namespace {

template <typename T>
T take(std::deque<T>& queue, const char* what, T fallback)
{
    if (queue.empty()) {
        ADD_FAILURE() << "unexpected " << what << " question";
        return fallback;
    }
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

void FakePrompts::queueInput(std::optional<std::string> utf8)
{
    if (utf8)
        utf8 = ToCp1251(*utf8);
    m_inputs.push_back(std::move(utf8));
}

namespace {

std::vector<std::string> ofKind(const std::vector<std::string>& shown, const std::string& kind)
{
    std::vector<std::string> out;
    for (const auto& s : shown) {
        if (s.rfind(kind, 0) == 0)
            out.push_back(s.substr(kind.size()));
    }
    return out;
}

}  // namespace

std::vector<std::string> FakePrompts::informs() const
{
    return ofKind(shown, "inform: ");
}

std::vector<std::string> FakePrompts::errors() const
{
    return ofKind(shown, "error: ");
}

bool FakePrompts::allAnswersUsed() const
{
    return m_confirms.empty() && m_answers.empty() && m_inputs.empty() && m_opens.empty() &&
           m_saves.empty() && m_folders.empty();
}

void FakePrompts::Inform(const std::string& text)
{
    shown.push_back("inform: " + ToUtf8(text));
    if (whileShown)
        whileShown();
}

void FakePrompts::ShowError(const std::string& text)
{
    shown.push_back("error: " + ToUtf8(text));
    if (whileShown)
        whileShown();
}

bool FakePrompts::Confirm(const std::string& text, Answer defaultAnswer)
{
    shown.push_back("confirm: " + ToUtf8(text));
    confirmDefaults.push_back(defaultAnswer);
    if (whileShown)
        whileShown();
    return take(m_confirms, "confirm", false);
}

Prompts::Answer FakePrompts::AskYesNoCancel(const std::string& text)
{
    shown.push_back("ask: " + ToUtf8(text));
    if (whileShown)
        whileShown();
    return take(m_answers, "yes/no/cancel", Answer::Cancel);
}

std::optional<std::string> FakePrompts::InputText(const std::string& caption,
                                                  const std::string& text)
{
    shown.push_back("input: " + ToUtf8(caption) + " | " + ToUtf8(text));
    if (whileShown)
        whileShown();
    return take<std::optional<std::string>>(m_inputs, "input", std::nullopt);
}

std::optional<std::string> FakePrompts::OpenFileName(const FileDialogSpec& spec)
{
    shown.push_back("open: " + ToUtf8(spec.title));
    if (whileShown)
        whileShown();
    dialogs.push_back(spec);
    return take<std::optional<std::string>>(m_opens, "open file", std::nullopt);
}

std::optional<std::string> FakePrompts::SaveFileName(const FileDialogSpec& spec)
{
    shown.push_back("save: " + ToUtf8(spec.title));
    if (whileShown)
        whileShown();
    dialogs.push_back(spec);
    return take<std::optional<std::string>>(m_saves, "save file", std::nullopt);
}

std::optional<std::string> FakePrompts::FolderName(const std::string& title)
{
    shown.push_back("folder: " + ToUtf8(title));
    if (whileShown)
        whileShown();
    return take<std::optional<std::string>>(m_folders, "folder", std::nullopt);
}

void FakePrompts::ShowWork(const std::string& text,
                           const std::function<void(const Progress&)>& work)
{
    works.push_back(ToUtf8(text));
    work(workProgress);
}

}  // namespace orm::test
