#pragma once
// Helpers shared by the tests of the desktop program.

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace lumivex::testing {

// Runs `act` on the first modal dialog of type Dialog that becomes active, from inside the
// dialog's own event loop. Gives up after `timeoutMs` (the test then fails on what the
// dialog should have done); a dialog left open is closed then so that no test hangs.
template <typename Dialog>
void whenModal(std::function<void(Dialog*)> act, int timeoutMs = 10000)
{
    auto* timer = new QTimer;
    const auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<Dialog*>(modal); dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
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

} // namespace lumivex::testing
