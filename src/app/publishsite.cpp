#include "app/publishsite.h"

#include <QApplication>
#include <QProgressDialog>

#include "core/model/project.h"
#include "core/publish/publish.h"
#include "core/text/cp1251.h"

namespace orm {

void PublishProjectAsSite(QWidget* parent, TMainTreeList& project, Prompts& prompts)
{
    const std::optional<std::string> folder =
        prompts.FolderName(ToCp1251("Папка для публикации в HTML"));
    if (!folder || folder->empty())
        return;

    QProgressDialog progress(QStringLiteral("Публикация проекта…"), QStringLiteral("Отмена"), 0,
                             1000, parent);
    progress.setWindowTitle(QStringLiteral("Опубликовать в HTML"));
    // Window-modal: nothing may edit the project while its pages are being written.
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const PublishOutcome outcome =
        PublishSite(project, *folder, {}, [&progress](std::size_t done, std::size_t total) {
            progress.setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.reset();

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
