#pragma once

// Prompts that decline every question and show nothing: for code that must not stop for a
// human (benchmarks, fuzz targets) and asks at most by the way.

#include <optional>
#include <string>

#include "core/prompts/prompts.h"

namespace orm::test {

class DecliningPrompts : public Prompts {
public:
    void Inform(const std::string&) override {}
    bool Confirm(const std::string&, Answer) override { return false; }
    using Prompts::Confirm;
    Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
    std::optional<std::string> InputText(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return std::nullopt; }
};

}  // namespace orm::test
