#include <gtest/gtest.h>

#include <QString>

#include "gui/kit/printer.h"

using namespace orm;

// A PDF printer proposes "<home>/<job name>.pdf": the name must be a file's base name.
TEST(PrintJobName, FitsAsAFilesBaseName)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("/home/u/отчеты/Положение.RTF"), QStringLiteral("Положение")},
        {QStringLiteral("Бизнес-направления // Структурные звенья"),
         QStringLiteral("Бизнес-направления - Структурные звенья")},
        {QStringLiteral("4.1 Дирекция: склад?"), QStringLiteral("4.1 Дирекция - склад")},
        {QStringLiteral("Положение.RTF"), QStringLiteral("Положение.RTF")},
        {QStringLiteral(" // "), QStringLiteral("Ормелит")},
        {QString(), QStringLiteral("Ормелит")},
    };
    for (const auto& [caption, expected] : cases)
        EXPECT_EQ(PrintJobName(caption), expected) << caption.toStdString();
}
