// Lumivex: glass lettering from one line of text. No command-line arguments.

#include "Program.h"

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
    return lumivex::runProgram();
}
