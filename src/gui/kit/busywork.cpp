#include "gui/kit/busywork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <algorithm>

namespace orm {

namespace {

// The dialog's bar runs over this many steps, whatever units the work counts in.
constexpr int kSteps = 1000;

std::int64_t steadyMilliseconds()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

}  // namespace

BusyWork::BusyWork(QWidget* parent, const QString& label, const QString& title, Clock clock)
    : m_parent(parent),
      m_label(label),
      m_title(title),
      m_clock(clock ? std::move(clock) : Clock(steadyMilliseconds))
{
    m_start = m_clock();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyWork::~BusyWork()
{
    m_dialog.reset();
    QApplication::restoreOverrideCursor();
}

QProgressDialog* BusyWork::Dialog() const
{
    return m_dialog.get();
}

bool BusyWork::Report(std::uint64_t done, std::uint64_t total)
{
    if (m_cancelled)
        return false;
    const std::int64_t now = m_clock();
    if (!m_dialog) {
        if (now - m_start < kDialogDelay)
            return true;
        showDialog();
    } else if (now - m_lastEvents < kEventInterval) {
        return true;
    }
    if (total == 0) {
        m_dialog->setRange(0, 0);  // a bar that only says the work goes on
    } else {
        m_dialog->setRange(0, kSteps);
        m_dialog->setValue(done >= total ? kSteps : static_cast<int>(done * kSteps / total));
    }
    QCoreApplication::processEvents();
    m_lastEvents = m_clock();
    m_cancelled = m_dialog->wasCanceled();
    return !m_cancelled;
}

void BusyWork::showDialog()
{
    m_dialog = std::make_unique<QProgressDialog>(m_label, QStringLiteral("Отмена"), 0, kSteps,
                                                 m_parent.data());
    m_dialog->setObjectName(QStringLiteral("BusyWorkDialog"));
    if (!m_title.isEmpty())
        m_dialog->setWindowTitle(m_title);
    // Window-modal: nothing may change what the work reads or writes while events are
    // processed for the dialog.
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->show();
    // Still busy, but an arrow that Cancel can be aimed with.
    QApplication::changeOverrideCursor(Qt::BusyCursor);
}

}  // namespace orm
