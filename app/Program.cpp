#include "Program.h"

#include "LumivexApp.h"

#include <QApplication>

namespace lumivex {

int runProgram()
{
    // Closing either window ends the program; no window ever closes by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    {
        LumivexApp program;
        // exit(), not quit(): quit() first asks every window to close, and ours answer a
        // close request by emitting closeRequested again, which would never end.
        QObject::connect(
            &program, &LumivexApp::closeRequested, qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        QApplication::exec();
    } // the worker is joined and the windows are gone before the process ends
    return 0;
}

} // namespace lumivex
