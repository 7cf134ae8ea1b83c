#pragma once

// Long work on the user-interface thread, shown as users expect: the busy cursor at once, and
// when the work lasts more than half a second a window-modal progress dialog with "Отмена".
// The work reports through Report (as a Progress); events are processed only while the dialog
// is up, and then at most every kEventInterval, so that the reporting costs next to nothing
// and nothing can touch the project before the dialog blocks its window.

#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/io/progress.h"

class QProgressDialog;
class QWidget;

namespace orm {

class BusyWork {
public:
    // Milliseconds on a steady clock; tests drive their own.
    using Clock = std::function<std::int64_t()>;
    static constexpr std::int64_t kDialogDelay = 500;
    static constexpr std::int64_t kEventInterval = 40;

    // parent: the window the dialog is modal to (may be null); label: what the work does
    // ("Сохранение проекта…"); title: the dialog's caption.
    BusyWork(QWidget* parent, const QString& label, const QString& title = QString(),
             Clock clock = {});
    // Restores the cursor and closes the dialog, also when the work ends by an exception.
    ~BusyWork();
    BusyWork(const BusyWork&) = delete;
    BusyWork& operator=(const BusyWork&) = delete;

    // The work's progress: done of total (total 0: not known). False once the user cancelled.
    bool Report(std::uint64_t done, std::uint64_t total);
    Progress Callback()
    {
        return [this](std::uint64_t done, std::uint64_t total) { return Report(done, total); };
    }
    bool Cancelled() const { return m_cancelled; }
    // The dialog once it is shown, else null.
    QProgressDialog* Dialog() const;

private:
    void showDialog();

    QPointer<QWidget> m_parent;
    QString m_label;
    QString m_title;
    Clock m_clock;
    std::int64_t m_start = 0;
    std::int64_t m_lastEvents = 0;
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};

}  // namespace orm
