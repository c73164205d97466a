// Lumivex: glass lettering from one line of text. No command-line arguments.

#include "Program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kRenderHint = "Ohne Bildschirm erzeugt lumivex-render die Bilder (siehe lumivex-render --help).\n";

QtMessageHandler g_toolkitMessages = nullptr;

// While the toolkit opens the display, a display that cannot be reached (a stale DISPLAY,
// a server that is gone) ends in a fatal message and an abort. Say what is wrong instead
// and end with an error code; every other message goes on as before.
void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        g_toolkitMessages(type, context, message);
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    std::fprintf(stderr,
        "Lumivex konnte die grafische Oberfläche nicht öffnen (DISPLAY=%s, WAYLAND_DISPLAY=%s).\n%s",
        display.isEmpty() ? "(leer)" : display.constData(), wayland.isEmpty() ? "(leer)" : wayland.constData(),
        kRenderHint);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
#if defined(Q_OS_LINUX)
    // Without a display the toolkit would abort; say so instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
            "Lumivex braucht eine grafische Oberfläche, es wurde keine gefunden "
            "(DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt).\n%s",
            kRenderHint);
        return 1;
    }
#endif
    g_toolkitMessages = qInstallMessageHandler(startupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(g_toolkitMessages);
    // The user interface is German, the toolkit's own dialogs (file, colour and font
    // choosers, message boxes) included, whatever the desktop's language.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);
    return lumivex::runProgram();
}
