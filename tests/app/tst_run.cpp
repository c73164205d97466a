// The program's run ends with exit code 0 when either window is closed, the way a user
// closes it (close box, Alt+F4), also while a render may still be running.

#include "app/Program.h"

#include <QtTest>

#include <QDeadlineTimer>

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void closingEitherWindowEndsTheRun_data();
    void closingEitherWindowEndsTheRun();
};

void RunTest::closingEitherWindowEndsTheRun_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("whileRendering");
    QTest::newRow("PreviewWindow") << "PreviewWindow" << false;
    QTest::newRow("ControlWindow") << "ControlWindow" << false;
    QTest::newRow("PreviewWindow at once") << "PreviewWindow" << true;
}

void RunTest::closingEitherWindowEndsTheRun()
{
    QFETCH(QString, window);
    QFETCH(bool, whileRendering);
    // Watches for the window from inside the run's own loop and closes it: at once, or
    // after a few passes of the loop.
    QTimer watcher;
    int passes = 0;
    bool closed = false;
    connect(&watcher, &QTimer::timeout, this, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == window && widget->isVisible() && (whileRendering || ++passes > 20)) {
                widget->close();
                closed = true;
                watcher.stop();
            }
        }
    });
    watcher.start(whileRendering ? 0 : 10);
    // Should the close not end the run, this does, and the test fails.
    bool forced = false;
    QTimer::singleShot(10000, this, [&forced] {
        forced = true;
        QCoreApplication::exit(3);
    });
    QCOMPARE(lumivex::runProgram(), 0);
    QVERIFY(closed);
    QVERIFY2(!forced, "closing the window did not end the run");
    // Both windows are gone with the run.
    for (QWidget* widget : QApplication::topLevelWidgets())
        QVERIFY2(widget->objectName() != "PreviewWindow" && widget->objectName() != "ControlWindow",
            qPrintable(widget->objectName()));
}

QTEST_MAIN(RunTest)
#include "tst_run.moc"
