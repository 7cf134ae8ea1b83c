#include "gui/kit/qtprompts.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <vector>

#include "core/model/cp1251.h"

using namespace orm;

TEST(QtPromptsFilters, ListEveryType)
{
    FileDialogSpec spec;
    spec.filterName = ToCp1251("Файл TXT");
    spec.filterPatterns = "*.txt";
    spec.moreFilters = {{ToCp1251("Файл RTF"), "*.rtf"}, {ToCp1251("Все файлы"), "*"}};
    EXPECT_EQ(FileFilters(spec), (QStringList{"Файл TXT (*.txt)", "Файл RTF (*.rtf)",
                                              "Все файлы (*)"}));
    spec.moreFilters.clear();
    spec.filterName = ToCp1251("Файлы Ормелит");
    spec.filterPatterns = "*.ovx;*.rem";
    EXPECT_EQ(FileFilters(spec), QStringList{"Файлы Ормелит (*.ovx *.rem)"});
}

// The prompts ask for text through whatever dialog they were handed, in and out of the code page.
TEST(QtPromptsInput, AsksTheHandedInDialogAndConvertsBothWays)
{
    QWidget parent;
    struct Call {
        QWidget* parent;
        QString caption;
        QString text;
    };
    std::vector<Call> calls;
    std::optional<QString> answer = QStringLiteral("Ответ ∑");
    QtPrompts prompts(&parent, [] { return QStringLiteral("Ормелит"); },
                      [&](QWidget* owner, const QString& caption, const QString& text) {
                          calls.push_back({owner, caption, text});
                          return answer;
                      });

    // "∑" has no place in Windows-1251: it comes back as "?", as it would be saved.
    EXPECT_EQ(prompts.InputText(ToCp1251("Изменение"), ToCp1251("Старое")),
              std::optional<std::string>(ToCp1251("Ответ ?")));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].parent, &parent);
    EXPECT_EQ(calls[0].caption, QStringLiteral("Изменение"));
    EXPECT_EQ(calls[0].text, QStringLiteral("Старое"));

    answer.reset();
    EXPECT_EQ(prompts.InputText("x", "y"), std::nullopt);
    EXPECT_EQ(calls.size(), 2u);
}
