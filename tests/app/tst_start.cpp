// The program started where it cannot open a window: it says why, points to
// lumivex-render and ends with exit code 1, never with a crash.

#include <QtTest>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

class StartTest : public QObject {
    Q_OBJECT
private slots:
    void withoutAUsableDisplay_data();
    void withoutAUsableDisplay();
};

void StartTest::withoutAUsableDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no display set") << QString() << QString() << "es wurde keine gefunden";
    // A display number that no server on this machine serves.
    QTest::newRow("display that cannot be reached") << ":4093" << QString() << "DISPLAY=:4093";
    QTest::newRow("unknown platform") << QString() << "lumivex-keine" << "nicht öffnen";
}

void StartTest::withoutAUsableDisplay()
{
    QFETCH(QString, display);
    QFETCH(QString, platform);
    QFETCH(QString, reason);
    if (!display.isEmpty() && QFile::exists(QStringLiteral("/tmp/.X11-unix/X") + display.mid(1)))
        QSKIP("an X server serves that display here");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QDir::tempPath());
    program.start(QStringLiteral(LUMIVEX_PROGRAM), {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    QVERIFY(program.waitForFinished(60000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QVERIFY2(errors.contains(reason), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("lumivex-render")), qPrintable(errors));
}

QTEST_APPLESS_MAIN(StartTest)
#include "tst_start.moc"
