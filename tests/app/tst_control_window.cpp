// The control window as built: menu, tab row, every control's kind, page, geometry,
// caption and range, input rules of the edit fields, swatches and the tab order.

#include "AppTestSupport.h"

#include "app/ControlWindow.h"
#include "app/SwatchLabel.h"

#include <QtTest>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

using namespace lumivex;

namespace {

// Number of the control a widget belongs to (the tab bar belongs to the tab control).
int controlNumberOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant number = w->property("controlNumber");
        if (number.isValid())
            return number.toInt();
    }
    return 0;
}

QString captionOf(const QWidget* widget)
{
    if (auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    if (auto* button = qobject_cast<const QPushButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    return {};
}

} // namespace

class ControlWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menu();
    void tabRow();
    void eachTabShowsItsPage();
    void controls_data();
    void controls();
    void noOtherNumberedControls();
    void editFieldsStartEmptyAndSlidersAtZero();
    void hexFieldsTurnLettersToUpperCase_data();
    void hexFieldsTurnLettersToUpperCase();
    void textFieldKeepsOnlyWhatASettingsFileHolds_data();
    void textFieldKeepsOnlyWhatASettingsFileHolds();
    void backgroundImageFieldTakesAnyText();
    void swatchReportsClicks_data();
    void swatchReportsClicks();
    void controlsReportEvents_data();
    void controlsReportEvents();
    void tabOrderFollowsCreationOnTheVisiblePage_data();
    void tabOrderFollowsCreationOnTheVisiblePage();
    void closeIsReportedAndTheWindowStays();

private:
    std::unique_ptr<ControlWindow> m_window;
};

void ControlWindowTest::init()
{
    m_window = std::make_unique<ControlWindow>();
    m_window->build();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void ControlWindowTest::cleanup()
{
    m_window.reset();
}

void ControlWindowTest::menu()
{
    const QList<QAction*> menus = m_window->menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QStringLiteral("Datei"));
    QMenu* menu = menus[0]->menu();
    QVERIFY(menu);
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 3);
    const QStringList captions { "Bilddaten laden", "Bilddaten speichern", "Bild speichern" };
    QSignalSpy commands(m_window.get(), &ControlWindow::menuCommand);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(items[i]->text(), captions[i]);
        QVERIFY(!items[i]->isSeparator());
        QVERIFY(items[i]->shortcut().isEmpty());
        QCOMPARE(m_window->menuItem(i + 2), items[i]);
        items[i]->trigger();
        QCOMPARE(commands.size(), i + 1);
        QCOMPARE(commands.last().at(0).toInt(), i + 2);
    }
}

void ControlWindowTest::tabRow()
{
    QTabWidget* tabs = m_window->tabControl();
    QCOMPARE(tabs->objectName(), QStringLiteral("control1"));
    QCOMPARE(tabs->property("controlNumber").toInt(), 1);
    QCOMPARE(tabs->geometry(), QRect(5, 5, 790, 170));
    QCOMPARE(tabs->parentWidget(), m_window->centralWidget());
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Hintergrund"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Spiegelung"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Text"));
    QCOMPARE(tabs->currentIndex(), 0);
}

void ControlWindowTest::eachTabShowsItsPage()
{
    QTabWidget* tabs = m_window->tabControl();
    const int probes[] = { 3, 56, 33 }; // one control of each page, in tab order
    for (int index = 0; index < 3; ++index) {
        tabs->setCurrentIndex(index);
        for (int other = 0; other < 3; ++other) {
            QWidget* control = m_window->control(probes[other]);
            QCOMPARE(control->isVisible(), other == index);
            QCOMPARE(control->parentWidget(), tabs->widget(other));
        }
    }
}

void ControlWindowTest::controls_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");

    const QString frame = "QGroupBox", edit = "QLineEdit", swatch = "lumivex::SwatchLabel", button = "QPushButton",
                  label = "QLabel", slider = "QSlider";
    const int background = 0, reflection = 1, text = 2;
    const auto row = [](int number, const QString& cls, int page, QRect rect, const char* caption, int min = 0,
                         int max = 0) {
        QTest::addRow("%d", number) << number << cls << page << rect << QString::fromUtf8(caption) << min << max;
    };
    row(2, frame, background, { 5, 5, 210, 60 }, " Hintergrund (oben) ");
    row(3, edit, background, { 15, 30, 60, 20 }, "");
    row(4, swatch, background, { 85, 25, 30, 30 }, "");
    row(5, button, background, { 125, 30, 80, 20 }, "Farbe ändern");
    row(12, frame, background, { 5, 75, 210, 60 }, " Hintergrund (unten) ");
    row(13, edit, background, { 15, 100, 60, 20 }, "");
    row(14, swatch, background, { 85, 95, 30, 30 }, "");
    row(15, button, background, { 125, 100, 80, 20 }, "Farbe ändern");
    row(22, frame, background, { 225, 5, 210, 130 }, " Hintergrundbild ");
    row(23, edit, background, { 235, 30, 190, 20 }, "");
    row(24, button, background, { 235, 60, 100, 20 }, "Durchsuchen");
    row(32, frame, text, { 5, 5, 210, 130 }, " Text ");
    row(33, edit, text, { 15, 30, 190, 20 }, "");
    row(34, button, text, { 15, 60, 100, 20 }, "Fontstyle ändern");
    row(35, label, text, { 15, 89, 190, 16 }, "Höhe des Textes über dem Boden");
    row(36, slider, text, { 15, 105, 190, 20 }, "", 0, 400);
    row(42, frame, text, { 225, 5, 210, 130 }, " Textfarbe ");
    row(43, edit, text, { 235, 30, 60, 20 }, "");
    row(44, swatch, text, { 305, 25, 30, 30 }, "");
    row(45, button, text, { 345, 30, 80, 20 }, "Farbe ändern");
    row(46, label, text, { 235, 64, 190, 16 }, "Helligkeit nach oben bzw unten");
    row(47, slider, text, { 235, 80, 190, 20 }, "", 0, 100);
    row(48, slider, text, { 235, 105, 190, 20 }, "", 0, 100);
    row(52, frame, reflection, { 5, 5, 210, 130 }, " Spiegelung ");
    row(55, label, reflection, { 15, 89, 190, 16 }, "Spiegelungstiefe");
    row(56, slider, reflection, { 15, 105, 190, 20 }, "", 0, 150);
}

void ControlWindowTest::controls()
{
    QFETCH(int, number);
    QFETCH(QString, className);
    QFETCH(int, page);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(int, minimum);
    QFETCH(int, maximum);

    QWidget* control = m_window->control(number);
    QVERIFY(control);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
    QCOMPARE(control->objectName(), QStringLiteral("control%1").arg(number));
    QCOMPARE(control->property("controlNumber").toInt(), number);
    QCOMPARE(control->parentWidget(), m_window->tabControl()->widget(page));
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(captionOf(control), caption);
    if (auto* slider = qobject_cast<QSlider*>(control)) {
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), maximum);
    }
    if (auto* label = qobject_cast<QLabel*>(control); label && !qobject_cast<SwatchLabel*>(control)) {
        QVERIFY(label->alignment() & Qt::AlignLeft);
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    }
    if (auto* field = qobject_cast<QLineEdit*>(control)) {
        const bool hex = number == 3 || number == 13 || number == 43;
        QCOMPARE(field->alignment() & Qt::AlignHorizontal_Mask, hex ? Qt::AlignHCenter : Qt::AlignLeft);
    }
}

void ControlWindowTest::noOtherNumberedControls()
{
    // Exactly the 26 controls of the pages and the tab control carry a number.
    QSet<int> numbers;
    for (QWidget* widget : m_window->findChildren<QWidget*>()) {
        const QVariant number = widget->property("controlNumber");
        if (number.isValid())
            numbers.insert(number.toInt());
    }
    const QSet<int> expected { 1, 2, 3, 4, 5, 12, 13, 14, 15, 22, 23, 24, 32, 33, 34, 35, 36, 42, 43, 44, 45,
        46, 47, 48, 52, 55, 56 };
    QCOMPARE(numbers, expected);
}

void ControlWindowTest::editFieldsStartEmptyAndSlidersAtZero()
{
    for (int number : { 3, 13, 23, 33, 43 })
        QVERIFY(m_window->editField(number)->text().isEmpty());
    for (int number : { 36, 47, 48, 56 })
        QCOMPARE(m_window->slider(number)->value(), 0);
}

void ControlWindowTest::hexFieldsTurnLettersToUpperCase_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("pastedShown");
    QTest::newRow("3 letters") << 3 << "ff00aa" << "FF00AA" << "cd" << "CD";
    QTest::newRow("13 other characters stay") << 13 << "#a b-z" << "#A B-Z" << "x#" << "X#";
    QTest::newRow("43 umlaut") << 43 << "1e" << "1E" << QString::fromUtf8("äß") << QString::fromUtf8("Äß");
}

void ControlWindowTest::hexFieldsTurnLettersToUpperCase()
{
    QFETCH(int, number);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, pasted);
    QFETCH(QString, pastedShown);
    QLineEdit* field = m_window->editField(number);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), shown);
    QCOMPARE(field->cursorPosition(), static_cast<int>(shown.size()));

    // Pasting into the middle keeps the cursor behind the pasted text.
    field->setCursorPosition(1);
    field->insert(pasted);
    QCOMPARE(field->text(), shown.left(1) + pastedShown + shown.mid(1));
    QCOMPARE(field->cursorPosition(), 1 + static_cast<int>(pastedShown.size()));
}

void ControlWindowTest::textFieldKeepsOnlyWhatASettingsFileHolds_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");
    QTest::newRow("Windows-1252 letters stay") << QString::fromUtf8("Glas äöü € „x“") << QString::fromUtf8("Glas äöü € „x“");
    QTest::newRow("case is kept") << "aBc" << "aBc";
    QTest::newRow("line breaks go") << "eins\r\nzwei\nd" << "einszweid";
    QTest::newRow("zero character goes") << QString(QStringLiteral("a") + QChar(0) + "b") << "ab";
    QTest::newRow("characters outside Windows-1252 go") << QString::fromUtf8("a\u0100b\u4E2Dc\U0001F600d")
                                                        << "abcd";
}

void ControlWindowTest::textFieldKeepsOnlyWhatASettingsFileHolds()
{
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QLineEdit* field = m_window->editField(33);
    QSignalSpy edits(field, &QLineEdit::textEdited);
    field->insert(QStringLiteral("[]"));
    field->setCursorPosition(1);
    field->insert(pasted);
    QCOMPARE(field->text(), "[" + kept + "]");
    QCOMPARE(field->cursorPosition(), 1 + static_cast<int>(kept.size()));
    QVERIFY(edits.size() >= 2);
    QCOMPARE(edits.last().at(0).toString(), field->text());
}

void ControlWindowTest::backgroundImageFieldTakesAnyText()
{
    QLineEdit* field = m_window->editField(23);
    const QString any = QString::fromUtf8("C:\\Bilder\\\u4E2D.png");
    field->insert(any);
    QCOMPARE(field->text(), any);
}

void ControlWindowTest::swatchReportsClicks_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("doubleClick");
    for (int number : { 4, 14, 44 }) {
        QTest::addRow("%d left", number) << number << int(Qt::LeftButton) << false;
        QTest::addRow("%d right", number) << number << int(Qt::RightButton) << false;
        QTest::addRow("%d left double", number) << number << int(Qt::LeftButton) << true;
        QTest::addRow("%d right double", number) << number << int(Qt::RightButton) << true;
    }
}

void ControlWindowTest::swatchReportsClicks()
{
    QFETCH(int, number);
    QFETCH(int, button);
    QFETCH(bool, doubleClick);
    m_window->tabControl()->setCurrentIndex(number == 44 ? 2 : 0);
    SwatchLabel* swatch = m_window->swatch(number);
    QCOMPARE(swatch->size(), QSize(30, 30));
    QCOMPARE(swatch->frameWidth(), 2);
    QCOMPARE(swatch->frameShadow(), QFrame::Sunken);
    QCOMPARE(swatch->contentsRect().size(), QSize(26, 26));
    QCOMPARE(swatch->focusPolicy(), Qt::NoFocus);

    QSignalSpy events(m_window.get(), &ControlWindow::controlEvent);
    const auto mouseButton = static_cast<Qt::MouseButton>(button);
    if (doubleClick)
        QTest::mouseDClick(swatch, mouseButton);
    else
        QTest::mousePress(swatch, mouseButton);
    QVERIFY(!events.isEmpty());
    for (const QList<QVariant>& event : events)
        QCOMPARE(event.at(0).toInt(), number);
}

void ControlWindowTest::controlsReportEvents_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("action");
    QTest::newRow("tab change") << 1 << "tab";
    QTest::newRow("hex field typing") << 3 << "type";
    QTest::newRow("hex field focus") << 13 << "focus";
    QTest::newRow("background image typing") << 23 << "type";
    QTest::newRow("text field focus") << 33 << "focus";
    QTest::newRow("colour button") << 5 << "click";
    QTest::newRow("browse button") << 24 << "click";
    QTest::newRow("font button") << 34 << "click";
    QTest::newRow("slider key") << 36 << "key";
    QTest::newRow("slider step") << 56 << "step";
}

void ControlWindowTest::controlsReportEvents()
{
    QFETCH(int, number);
    QFETCH(QString, action);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QWidget* control = m_window->control(number);
    QTabWidget* tabs = m_window->tabControl();
    if (number != 1)
        tabs->setCurrentWidget(control->parentWidget());
    QSignalSpy events(m_window.get(), &ControlWindow::controlEvent);

    if (action == "tab") {
        tabs->setCurrentIndex(2);
    } else if (action == "type") {
        QTest::keyClicks(control, "A");
    } else if (action == "focus") {
        control->setFocus();
        QVERIFY(control->hasFocus());
        QCOMPARE(events.size(), 1);
        m_window->control(number == 33 ? 34 : 15)->setFocus(); // focus leaves the field
        QCOMPARE(events.size(), 2);
    } else if (action == "click") {
        QTest::mouseClick(control, Qt::LeftButton);
    } else if (action == "key") {
        QTest::keyClick(control, Qt::Key_End);
        QCOMPARE(static_cast<QSlider*>(control)->value(), 400);
    } else if (action == "step") {
        static_cast<QSlider*>(control)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    QVERIFY(!events.isEmpty());
    for (const QList<QVariant>& event : events)
        QCOMPARE(event.at(0).toInt(), number);
}

void ControlWindowTest::tabOrderFollowsCreationOnTheVisiblePage_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("Hintergrund") << 0 << QList<int> { 1, 3, 5, 13, 15, 23, 24, 1 };
    QTest::newRow("Spiegelung") << 1 << QList<int> { 1, 56, 1 };
    QTest::newRow("Text") << 2 << QList<int> { 1, 33, 34, 36, 43, 45, 47, 48, 1 };
}

void ControlWindowTest::tabOrderFollowsCreationOnTheVisiblePage()
{
    QFETCH(int, page);
    QFETCH(QList<int>, order);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTabWidget* tabs = m_window->tabControl();
    tabs->setCurrentIndex(page);
    tabs->tabBar()->setFocus(Qt::TabFocusReason);
    QVERIFY(tabs->tabBar()->hasFocus());

    QList<int> forward { controlNumberOf(QApplication::focusWidget()) };
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward << controlNumberOf(QApplication::focusWidget());
    }
    QCOMPARE(forward, order);

    QList<int> backward { controlNumberOf(QApplication::focusWidget()) };
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward << controlNumberOf(QApplication::focusWidget());
    }
    std::reverse(order.begin(), order.end());
    QCOMPARE(backward, order);
}

void ControlWindowTest::closeIsReportedAndTheWindowStays()
{
    QSignalSpy closes(m_window.get(), &ControlWindow::closeRequested);
    QVERIFY(!m_window->close());
    QCOMPARE(closes.size(), 1);
    QVERIFY(m_window->isVisible());
}

QTEST_MAIN(ControlWindowTest)
#include "tst_control_window.moc"
