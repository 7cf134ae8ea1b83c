#include "app/publishsite.h"

#include "core/model/project.h"
#include "core/publish/publish.h"
#include "core/text/cp1251.h"

namespace orm {

void PublishProjectAsSite(TMainTreeList& project, Prompts& prompts)
{
    const std::optional<std::string> folder =
        prompts.FolderName(ToCp1251("Папка для публикации в HTML"));
    if (!folder || folder->empty())
        return;

    PublishOutcome outcome;
    prompts.RunWork(ToCp1251("Публикация проекта…"), [&](const Progress& progress) {
        outcome = PublishSite(project, *folder, {}, progress);
    });

    switch (outcome.Result) {
    case PublishResult::Done:
        prompts.Inform(ToCp1251("Проект опубликован: " + std::to_string(outcome.Files) +
                                " файлов в папке «" + *folder + "». Начальная страница — index.html."));
        break;
    case PublishResult::Cancelled:
        prompts.Inform(ToCp1251(outcome.Message));
        break;
    case PublishResult::Refused:
    case PublishResult::Failed:
        prompts.ShowError(ToCp1251(outcome.Message));
        break;
    }
}

}  // namespace orm
