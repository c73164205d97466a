// The three commands of the menu "Datei": the file chooser they open, the extension rule,
// what they write and read, and the message a failure shows.

#include "AppTestSupport.h"

#include "app/ControlWindow.h"
#include "app/LumivexApp.h"
#include "app/PreviewWindow.h"
#include "files/SettingsFile.h"

#include <QtTest>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTemporaryDir>

using namespace lumivex;
using lumivex::testing::whenModal;

namespace {

// Stands in for the user: answers the file chooser from a list and records messages.
class ScriptedApp : public LumivexApp {
public:
    QStringList answers;
    QList<int> asked;
    QStringList errors;

protected:
    QString askForPath(const FileCommandSpec& command) override
    {
        asked << command.item;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void showError(const QString& message) override { errors << message; }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

quint32 le32(const QByteArray& bytes, int offset)
{
    return quint32(quint8(bytes[offset])) | quint32(quint8(bytes[offset + 1])) << 8
        | quint32(quint8(bytes[offset + 2])) << 16 | quint32(quint8(bytes[offset + 3])) << 24;
}

QStringList entriesOf(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

SceneParams withoutSize(SceneParams params)
{
    params.width = 0;
    params.height = 0;
    return params;
}

} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void chooserOfEachCommand_data();
    void chooserOfEachCommand();
    void savingThroughTheChooserAppendsTheExtensionAndReplaces();
    void failedLoadThroughTheChooserShowsAMessage();
    void menuItemsRunTheirCommands();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void savedNames_data();
    void savedNames();
    void existingFileIsReplaced_data();
    void existingFileIsReplaced();
    void exportWritesThePresentedImage();
    void loadAppliesTheFileAndRenders();
    void loadOfAMissingFileShowsAMessage();
    void failedSaveShowsAMessage_data();
    void failedSaveShowsAMessage();

private:
    ScriptedApp& scripted() { return static_cast<ScriptedApp&>(*m_app); }
    QString inFolder(const QString& name) const { return m_folder->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_previousCurrent;
    std::unique_ptr<LumivexApp> m_app;
};

void FileCommandsTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_previousCurrent = QDir::currentPath();
    // The chooser opens in the working folder; keep whatever it might write in here.
    QDir::setCurrent(m_folder->path());
    // Tests whose name says "Chooser" talk to the real dialogs.
    if (QString(QTest::currentTestFunction()).contains("chooser", Qt::CaseInsensitive))
        m_app = std::make_unique<LumivexApp>();
    else
        m_app = std::make_unique<ScriptedApp>();
}

void FileCommandsTest::cleanup()
{
    const int pending = lumivex::testing::dropPendingModalWatchers();
    m_app.reset();
    QDir::setCurrent(m_previousCurrent);
    m_folder.reset();
    QCOMPARE(pending, 0); // every expected dialog came
}

void FileCommandsTest::chooserOfEachCommand_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("filter");
    QTest::newRow("2 load") << 2 << "Bilddaten laden" << int(QFileDialog::AcceptOpen) << "Unbenennt.lvx" << "*.lvx";
    QTest::newRow("3 save") << 3 << "Bilddaten speichern" << int(QFileDialog::AcceptSave) << "Unbenennt.lvx"
                            << "*.lvx";
    QTest::newRow("4 image") << 4 << "Bild speichern" << int(QFileDialog::AcceptSave) << "Unbenennt.bmp" << "*.bmp";
}

void FileCommandsTest::chooserOfEachCommand()
{
    QFETCH(int, item);
    QFETCH(QString, title);
    QFETCH(int, mode);
    QFETCH(QString, offered);
    QFETCH(QString, filter);
    const SceneParams before = m_app->params();

    bool seen = false;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        seen = true;
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(int(dialog->acceptMode()), mode);
        QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
        QCOMPARE(dialog->nameFilters(), QStringList { filter });
        QCOMPARE(dialog->selectedNameFilter(), filter);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(dialog->defaultSuffix().isEmpty());
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(m_folder->path()).canonicalPath());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        QCOMPARE(name->text(), offered);
        // Modal for the whole program: both windows take no input while it is open.
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        dialog->reject();
    });
    m_app->controlWindow()->menuItem(item)->trigger();
    QVERIFY(seen);
    QVERIFY(!QApplication::activeModalWidget()); // cancelling shows no message
    QCOMPARE(m_app->params(), before);
    QCOMPARE(entriesOf(m_folder->path()), QStringList());
    QCOMPARE(QDir::currentPath(), m_folder->path());
}

void FileCommandsTest::savingThroughTheChooserAppendsTheExtensionAndReplaces()
{
    QVERIFY(writeAll(inFolder("szene.lvx"), "alter Inhalt"));
    m_app->params().text = "Gespeichert";
    bool seen = false;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        seen = true;
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        // Set, not typed: typing would open the completer's list, offering szene.lvx.
        name->setText(QStringLiteral("szene"));
        // The typed name has no extension; the dialog must not add one, nor ask although
        // szene.lvx exists.
        static_cast<QDialog*>(dialog)->accept();
    });
    m_app->runFileCommand(3);
    QVERIFY(seen);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(entriesOf(m_folder->path()), QStringList { "szene.lvx" });
    SceneParams loaded;
    QVERIFY(loadSettings(inFolder("szene.lvx").toStdString(), loaded));
    QCOMPARE(loaded, m_app->params());

    // The same name again, this time ending in .lvx: the existing file is replaced.
    m_app->params().text = "Ersetzt";
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(QStringLiteral("szene.lvx"));
        static_cast<QDialog*>(dialog)->accept();
    });
    m_app->runFileCommand(3);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(loadSettings(inFolder("szene.lvx").toStdString(), loaded));
    QCOMPARE(loaded.text, std::string("Ersetzt"));
    QCOMPARE(entriesOf(m_folder->path()), QStringList { "szene.lvx" });
}

void FileCommandsTest::failedLoadThroughTheChooserShowsAMessage()
{
    const SceneParams before = withoutSize(m_app->params());
    QString message;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        // The open chooser takes a name of a file that does not exist.
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("fehlt.lvx"));
        whenModal<QMessageBox>([&](QMessageBox* box) {
            message = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->accept();
        });
        static_cast<QDialog*>(dialog)->accept();
    });
    m_app->runFileCommand(2);
    QVERIFY2(message.contains(QDir::toNativeSeparators(inFolder("fehlt.lvx"))), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("konnte nicht geladen werden")));
    QCOMPARE(title, QStringLiteral("Lumivex"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(withoutSize(m_app->params()), before);
    QCOMPARE(entriesOf(m_folder->path()), QStringList());
}

void FileCommandsTest::menuItemsRunTheirCommands()
{
    for (int item : { 2, 3, 4 })
        m_app->controlWindow()->menuItem(item)->trigger();
    QCOMPARE(scripted().asked, (QList<int> { 2, 3, 4 }));
    const std::uint64_t requests = m_app->renderRequestCount();
    m_app->controlWindow()->menuItem(3)->trigger();
    QCOMPARE(m_app->renderRequestCount(), requests); // a menu command is no control event
}

void FileCommandsTest::cancelChangesNothing_data()
{
    QTest::addColumn<int>("item");
    QTest::newRow("2") << 2;
    QTest::newRow("3") << 3;
    QTest::newRow("4") << 4;
}

void FileCommandsTest::cancelChangesNothing()
{
    QFETCH(int, item);
    const SceneParams before = m_app->params();
    const QSize size = m_app->previewWindow()->size();
    m_app->runFileCommand(item); // no answer: cancelled
    QCOMPARE(scripted().asked, QList<int> { item });
    QCOMPARE(m_app->params(), before);
    QCOMPARE(m_app->previewWindow()->size(), size);
    QCOMPARE(scripted().errors, QStringList());
    QCOMPARE(entriesOf(m_folder->path()), QStringList());
}

void FileCommandsTest::savedNames_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("settings without extension") << 3 << "szene" << "szene.lvx";
    QTest::newRow("settings ending in .lvx") << 3 << "szene.lvx" << "szene.lvx";
    QTest::newRow("settings ending in .LVX") << 3 << "szene.LVX" << "szene.LVX.lvx";
    QTest::newRow("settings with another extension") << 3 << "szene.txt" << "szene.txt.lvx";
    QTest::newRow("settings ending in a dot") << 3 << "szene." << "szene..lvx";
    QTest::newRow("settings in a dotted folder") << 3 << "ordner.neu/szene" << "ordner.neu/szene.lvx";
    QTest::newRow("image without extension") << 4 << "bild" << "bild.bmp";
    QTest::newRow("image ending in .bmp") << 4 << "bild.bmp" << "bild.bmp";
    QTest::newRow("image ending in .BMP") << 4 << "bild.BMP" << "bild.BMP.bmp";
    QTest::newRow("image ending in .lvx") << 4 << "bild.lvx" << "bild.lvx.bmp";
}

void FileCommandsTest::savedNames()
{
    QFETCH(int, item);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("ordner.neu")));
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    scripted().answers << inFolder(chosen);
    m_app->runFileCommand(item);
    QCOMPARE(scripted().errors, QStringList());
    QStringList expected { "ordner.neu", written };
    expected.sort();
    QCOMPARE(entriesOf(m_folder->path()), expected);
    const QByteArray bytes = readAll(inFolder(written));
    if (item == 3) {
        SceneParams loaded;
        QVERIFY(loadSettings(inFolder(written).toStdString(), loaded));
        QCOMPARE(loaded, m_app->params());
    } else {
        QCOMPARE(bytes.size(), 480054); // 800 x 200
        QVERIFY(bytes.startsWith("BM"));
    }
}

void FileCommandsTest::existingFileIsReplaced_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("name");
    QTest::newRow("settings") << 3 << "alt.lvx";
    QTest::newRow("image") << 4 << "alt.bmp";
}

void FileCommandsTest::existingFileIsReplaced()
{
    QFETCH(int, item);
    QFETCH(QString, name);
    QVERIFY(writeAll(inFolder(name), QByteArray(1000000, 'x')));
    scripted().answers << inFolder(name);
    m_app->runFileCommand(item);
    QCOMPARE(scripted().errors, QStringList());
    const QByteArray bytes = readAll(inFolder(name));
    QVERIFY(!bytes.contains("xxxx"));
    if (item == 3)
        QVERIFY(bytes.size() < 1000);
    else
        QCOMPARE(bytes.size(), 480054);
}

void FileCommandsTest::exportWritesThePresentedImage()
{
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    scripted().answers << inFolder("bild");
    m_app->runFileCommand(4);
    const QByteArray bytes = readAll(inFolder("bild.bmp"));
    QCOMPARE(bytes.size(), 480054);
    QCOMPARE(le32(bytes, 2), 480054u);
    QCOMPARE(le32(bytes, 10), 54u);
    QCOMPARE(le32(bytes, 18), 800u);
    QCOMPARE(le32(bytes, 22), 200u);
    // Rows are stored bottom-up as blue, green, red: the top-left pixel opens the last row.
    const Layer& surface = m_app->surface().raster();
    for (const QPoint p : { QPoint(0, 0), QPoint(799, 0), QPoint(400, 100), QPoint(0, 199), QPoint(799, 199) }) {
        const int offset = 54 + (199 - p.y()) * 2400 + p.x() * 3;
        const PackedColor c = surface.pixel(p.x(), p.y());
        QCOMPARE(quint8(bytes[offset]), quint8(blueOf(c)));
        QCOMPARE(quint8(bytes[offset + 1]), quint8(greenOf(c)));
        QCOMPARE(quint8(bytes[offset + 2]), quint8(redOf(c)));
    }
    QCOMPARE(quint8(bytes[54 + 199 * 2400 + 2]), quint8(0xF0)); // the gradient's top colour
}

void FileCommandsTest::loadAppliesTheFileAndRenders()
{
    SceneParams file;
    file.width = 640;
    file.height = 300;
    file.text = "Geladen";
    file.backgroundTop = 0x0000FF;
    file.textColor = 0x1234567;
    file.textElevation = 3.0f;
    file.brightnessUp = 0.25f;
    file.fontSize = 12;
    file.backgroundImagePath = "C:\\bild.png";
    QVERIFY(saveSettings(inFolder("szene.lvx").toStdString(), file));

    const std::uint64_t requests = m_app->renderRequestCount();
    scripted().answers << inFolder("szene.lvx");
    m_app->runFileCommand(2);
    QCOMPARE(scripted().errors, QStringList());
    QCOMPARE(withoutSize(m_app->params()), withoutSize(file)); // the record as the file has it
    QVERIFY(m_app->renderRequestCount() > requests);

    ControlWindow* window = m_app->controlWindow();
    QCOMPARE(m_app->previewWindow()->size(), QSize(640, 300));
    QCOMPARE(window->editField(33)->text(), QStringLiteral("Geladen"));
    QCOMPARE(window->editField(3)->text(), QStringLiteral("FF"));
    QCOMPARE(window->editField(43)->text(), QStringLiteral("123456"));
    QCOMPARE(window->slider(36)->value(), 400);
    QCOMPARE(window->slider(47)->value(), 25);

    // The loaded scene is rendered and presented at the preview's new size.
    QTRY_COMPARE(m_app->surface().raster().pixel(0, 0) & kChannelMask, 0x0000FFu);
    QCOMPARE(m_app->surface().raster().pixel(639, 0) & kChannelMask, 0x0000FFu);
}

void FileCommandsTest::loadOfAMissingFileShowsAMessage()
{
    const SceneParams before = m_app->params();
    scripted().answers << inFolder("Unbenennt.lvx");
    m_app->runFileCommand(2);
    QCOMPARE(scripted().errors.size(), 1);
    const QString message = scripted().errors.first();
    QVERIFY2(message.contains(QDir::toNativeSeparators(inFolder("Unbenennt.lvx"))), qPrintable(message));
    QVERIFY(message.contains('\n')); // with the reason
    QCOMPARE(m_app->params(), before);
    QCOMPARE(entriesOf(m_folder->path()), QStringList());
}

void FileCommandsTest::failedSaveShowsAMessage_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("settings") << 3 << "besetzt.lvx" << "konnte nicht gespeichert werden";
    QTest::newRow("image") << 4 << "besetzt.bmp" << "konnte nicht";
}

void FileCommandsTest::failedSaveShowsAMessage()
{
    QFETCH(int, item);
    QFETCH(QString, target);
    QFETCH(QString, expectedText);
    // A folder of that name stands where the file should go: it cannot be created.
    QVERIFY(QDir(m_folder->path()).mkdir(target));
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    const SceneParams before = m_app->params();
    scripted().answers << inFolder("besetzt");
    m_app->runFileCommand(item);
    QCOMPARE(scripted().errors.size(), 1);
    const QString message = scripted().errors.first();
    QVERIFY2(message.contains(QDir::toNativeSeparators(inFolder(target))), qPrintable(message));
    QVERIFY2(message.contains(expectedText), qPrintable(message));
    QVERIFY(message.contains('\n'));
    QCOMPARE(m_app->params(), before);
    QCOMPARE(entriesOf(m_folder->path()), QStringList { target });
}

QTEST_MAIN(FileCommandsTest)
#include "tst_file_commands.moc"
