#pragma once
// Helpers shared by the tests of the desktop program.

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace lumivex::testing {

// Owner of the watchers that whenModal leaves running.
inline QObject& pendingModalWatchers()
{
    static QObject owner;
    return owner;
}

// Runs `act` on the first modal dialog of type Dialog that becomes active, from inside the
// dialog's own event loop. Gives up after `timeoutMs` (the test then fails on what the
// dialog should have done); a dialog left open is closed then so that no test hangs.
template <typename Dialog>
void whenModal(std::function<void(Dialog*)> act, int timeoutMs = 10000)
{
    auto* timer = new QTimer(&pendingModalWatchers());
    const auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, timeoutMs, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(modal); dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
            // Should the act leave the dialog open, it is closed later so no test hangs.
            QTimer::singleShot(timeoutMs, &pendingModalWatchers(), [open = QPointer<Dialog>(dialog)] {
                if (open && open->isVisible())
                    open->close();
            });
            return;
        }
        if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                modal->close();
        }
    });
    timer->start(10);
}

// Drops the watchers whose dialog never came (they refer to a finished test's locals);
// returns how many there were.
inline int dropPendingModalWatchers()
{
    int pending = 0;
    for (QTimer* timer : pendingModalWatchers().findChildren<QTimer*>()) {
        if (timer->isActive())
            ++pending;
        timer->stop();
        delete timer;
    }
    return pending;
}

} // namespace lumivex::testing
