#pragma once

// The test project of the site tests and ways to read a published site back.

#include <filesystem>
#include <map>
#include <string>

#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm::test {

// Units three levels deep bound to directions, processes and management processes; names that
// are markup, quotes and ampersands.
inline const char kSiteProject[] =
    "0 Компания <script>alert(1)</script>\r\n"
    "1 Бизнес-направления\r\n"
    "1.1 Розница\r\n"
    "1.2 Опт & экспорт\r\n"
    "2 Процессы\r\n"
    "2.1 Закупки\r\n"
    "2.1.1 Выбор поставщика\r\n"
    "3 Процессы управления\r\n"
    "3.1 Планирование\r\n"
    "4 Структурные звенья\r\n"
    "4.1 Дирекция\r\n"
    "1.1\r\n"
    "3.1\r\n"
    "4.1.1 Секретариат\r\n"
    "4.1.1.1 Канцелярия\r\n"
    "4.1.2 Юридический отдел \"Правовед\"\r\n"
    "2.1.1\r\n"
    "4.2 <script>alert(1)</script>\r\n"
    "1.2\r\n";

inline void LoadSiteProject(TMainTreeList& project)
{
    project.ReadProjectText(ToCp1251(kSiteProject));
}

// Every file below root with its bytes, by path relative to root.
inline std::map<std::string, std::string> ReadTree(const std::filesystem::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[std::filesystem::relative(e.path(), root).string()] = TempDir::read(e.path().string());
    return files;
}

}  // namespace orm::test
