// Lumivex: glass lettering from one line of text. No command-line arguments.

#include "LumivexApp.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
#if defined(Q_OS_LINUX)
    // Without a display the toolkit would abort; say so instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("Lumivex braucht eine grafische Oberfläche, es wurde keine gefunden "
                   "(DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt).\n"
                   "Ohne Bildschirm erzeugt lumivex-render die Bilder (siehe lumivex-render --help).\n",
            stderr);
        return 1;
    }
#endif
    QApplication application(argc, argv);
    // Closing either window ends the program; no window ever closes by itself.
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        lumivex::LumivexApp program;
        // exit(), not quit(): quit() first asks every window to close, and ours answer a
        // close request by emitting closeRequested again, which would never end.
        QObject::connect(
            &program, &lumivex::LumivexApp::closeRequested, &application, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
        status = QApplication::exec();
    }
    (void)status;
    return 0;
}
