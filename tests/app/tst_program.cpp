// The program as started: windows, start-up values, the bindings of every control, the
// colour and font choosers, the presentation of finished frames and the close of either
// window.

#include "AppTestSupport.h"

#include "app/ControlValues.h"
#include "app/ControlWindow.h"
#include "app/LumivexApp.h"
#include "app/PreviewWindow.h"
#include "app/SwatchLabel.h"

#include <QtTest>

#include <QColorDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>

#include <cmath>
#include <limits>

using namespace lumivex;
using lumivex::testing::whenModal;

namespace {

QRgb swatchCentre(const ControlWindow* window, int number)
{
    return window->swatch(number)->pixmap().toImage().pixel(13, 13) & 0xFFFFFFu;
}

// The record with the fields that renders write set aside, to see that nothing else moved.
SceneParams withoutSize(SceneParams params)
{
    params.width = 0;
    params.height = 0;
    return params;
}

void clearAndType(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowsAtStart();
    void swatchesAreBlackUntilTheFirstRenderPaintsThem();
    void defaultsFillTheControls();
    void refreshControlsShowsTheRecord();
    void refreshControlsShowsALongTextWhole();
    void refreshControlsSizesThePreview_data();
    void refreshControlsSizesThePreview();
    void hexFieldsSetTheirColour_data();
    void hexFieldsSetTheirColour();
    void textFieldSetsTheText();
    void everySliderPositionRoundTripsThroughTheControls_data();
    void everySliderPositionRoundTripsThroughTheControls();
    void everyControlEventRequestsARender_data();
    void everyControlEventRequestsARender();
    void colourChooserAccepted_data();
    void colourChooserAccepted();
    void colourChooserCancelledChangesNothing();
    void colourChooserOpensBlackForMinusOne();
    void customColoursStayForTheRun();
    void fontChooserAccepted_data();
    void fontChooserAccepted();
    void fontChooserCancelledChangesNothing();
    void chosenFontMapsToTheRecord_data();
    void chosenFontMapsToTheRecord();
    void fontChooserPresetsNoSizeForZero();
    void finishedFrameIsPresented();
    void resizeRendersAtTheNewSize();
    void framesArePresentedWhileInputGoesOn();
    void closingEitherWindowEndsTheLoop_data();
    void closingEitherWindowEndsTheLoop();

private:
    std::unique_ptr<LumivexApp> m_app;
    ControlWindow* control() const { return m_app->controlWindow(); }
};

void ProgramTest::init()
{
    m_app = std::make_unique<LumivexApp>();
}

void ProgramTest::cleanup()
{
    const int pending = lumivex::testing::dropPendingModalWatchers();
    m_app.reset();
    QCOMPARE(pending, 0); // every expected dialog came
}

void ProgramTest::windowsAtStart()
{
    const QSize screen = m_app->screenSize();
    QVERIFY(screen.width() > 0 && screen.height() > 0);
    const int w = screen.width(), h = screen.height();

    const Qt::WindowFlags required = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    const Qt::WindowFlags forbidden = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;

    PreviewWindow* preview = m_app->previewWindow();
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Lumivex"));
    QCOMPARE(preview->windowFlags() & required, required);
    QCOMPARE(preview->windowFlags() & forbidden, Qt::WindowFlags());
    QCOMPARE(preview->size(), QSize(800, 200));
    QCOMPARE(preview->pos(), QPoint(w / 2 - 400, h / 2 + 30));
    QVERIFY(preview->minimumSize() != preview->maximumSize()); // sizable

    ControlWindow* window = control();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Lumivex"));
    QCOMPARE(window->windowFlags() & required, required);
    QCOMPARE(window->windowFlags() & forbidden, Qt::WindowFlags());
    QCOMPARE(window->pos(), QPoint(w / 2 - 400, h / 2 - 200));
    QCOMPARE(window->size(), QSize(800, 200));
    QCOMPARE(window->minimumSize(), window->maximumSize()); // fixed
    // The menu bar takes its height out of the client area.
    QVERIFY(window->menuBar()->height() > 0);
    QCOMPARE(window->centralWidget()->size(), QSize(800, 200 - window->menuBar()->height()));

    QCOMPARE(m_app->params().width, 800);
    QCOMPARE(m_app->params().height, 200);
    QCOMPARE(m_app->surface().width(), w);
    QCOMPARE(m_app->surface().height(), h);
}

void ProgramTest::swatchesAreBlackUntilTheFirstRenderPaintsThem()
{
    // No event has been handled yet, so no painted swatch has arrived.
    for (int number : { 4, 14, 44 }) {
        QCOMPARE(control()->swatch(number)->pixmap().size(), QSize(26, 26));
        QCOMPARE(swatchCentre(control(), number), 0u);
    }
    QTRY_COMPARE(swatchCentre(control(), 4), qRgb(0xF0, 0xF0, 0xF0) & 0xFFFFFFu);
    QCOMPARE(swatchCentre(control(), 14), qRgb(0x70, 0x70, 0x70) & 0xFFFFFFu);
    QCOMPARE(swatchCentre(control(), 44), qRgb(0x90, 0x20, 0x20) & 0xFFFFFFu); // 0x202090 is red 0x90
}

void ProgramTest::defaultsFillTheControls()
{
    QCOMPARE(withoutSize(m_app->params()), withoutSize(SceneParams {}));
    QCOMPARE(control()->editField(33)->text(), QStringLiteral("Lumivex"));
    QCOMPARE(control()->editField(3)->text(), QStringLiteral("F0F0F0"));
    QCOMPARE(control()->editField(13)->text(), QStringLiteral("707070"));
    QCOMPARE(control()->editField(43)->text(), QStringLiteral("202090"));
    QCOMPARE(control()->editField(23)->text(), QString());
    QCOMPARE(control()->slider(36)->value(), 160);
    QCOMPARE(control()->slider(47)->value(), 60);
    QCOMPARE(control()->slider(48)->value(), 80);
    QCOMPARE(control()->slider(56)->value(), 85);
}

void ProgramTest::refreshControlsShowsTheRecord()
{
    SceneParams& params = m_app->params();
    params.backgroundTop = 0x0000FF;
    params.backgroundBottom = 0;
    params.textColor = 0x1234567;
    params.text = "Glas €";
    params.textElevation = 3.0f;
    params.brightnessUp = 0.0f;
    params.brightnessDown = std::numeric_limits<float>::quiet_NaN();
    params.reflectionFadeStep = 0.0f;
    const SceneParams before = params;
    m_app->refreshControls();

    QCOMPARE(control()->editField(3)->text(), QStringLiteral("FF")); // no padding
    QCOMPARE(control()->editField(13)->text(), QStringLiteral("0"));
    QCOMPARE(control()->editField(43)->text(), QStringLiteral("123456")); // six digits, cut
    QCOMPARE(control()->editField(33)->text(), QString::fromUtf8("Glas €"));
    QCOMPARE(control()->slider(36)->value(), 400); // 600 shows the end of the range
    QCOMPARE(control()->slider(47)->value(), 0);
    QCOMPARE(control()->slider(48)->value(), 0); // not finite: the minimum
    QCOMPARE(control()->slider(56)->value(), 0); // log10(0): the minimum

    // Showing values is no control event: the record keeps what it holds.
    QCOMPARE(params.textColor, before.textColor);
    QCOMPARE(params.textElevation, 3.0f);
    QVERIFY(std::isnan(params.brightnessDown));
    QCOMPARE(params.reflectionFadeStep, 0.0f);
}

void ProgramTest::refreshControlsShowsALongTextWhole()
{
    // A settings file may bring a text longer than a field lets the user type. The field
    // shows all of it, so that its next event stores it back whole.
    QLineEdit* field = control()->editField(33);
    const std::string longText = std::string(40000, 'W') + "Ende";
    m_app->params().text = longText;
    m_app->refreshControls();
    QCOMPARE(field->text().size(), qsizetype(longText.size()));

    control()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(control()));
    control()->tabControl()->setCurrentIndex(2);
    field->setFocus();
    QVERIFY(field->hasFocus());
    control()->control(34)->setFocus();
    QCOMPARE(m_app->params().text.size(), longText.size());
    QCOMPARE(m_app->params().text, longText);
}

void ProgramTest::refreshControlsSizesThePreview_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("expected"); // -1: the screen's side
    QTest::newRow("plain") << 640 << 300 << QSize(640, 300);
    QTest::newRow("small") << 1 << 1 << QSize(1, 1);
    QTest::newRow("zero width keeps the width") << 0 << 300 << QSize(800, 300);
    QTest::newRow("negative sides keep the size") << -5 << -1 << QSize(800, 200);
    QTest::newRow("too wide for the screen") << 100000 << 150 << QSize(-1, 150);
    QTest::newRow("too high for the screen") << 300 << std::numeric_limits<int>::max() << QSize(300, -1);
}

void ProgramTest::refreshControlsSizesThePreview()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, expected);
    const QSize screen = m_app->screenSize();
    if (expected.width() < 0)
        expected.setWidth(screen.width());
    if (expected.height() < 0)
        expected.setHeight(screen.height());

    m_app->params().width = width;
    m_app->params().height = height;
    const QPoint position = m_app->previewWindow()->pos();
    m_app->refreshControls();
    QCOMPARE(m_app->previewWindow()->size(), expected);
    QCOMPARE(m_app->previewWindow()->pos(), position);
    // The next render reads the size the window really has.
    m_app->requestRender();
    QCOMPARE(QSize(m_app->params().width, m_app->params().height), expected);
}

void ProgramTest::hexFieldsSetTheirColour_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("FF is pure red") << 3 << "FF" << 0x0000FFu;
    QTest::newRow("FF0000 is pure blue") << 3 << "FF0000" << 0xFF0000u;
    QTest::newRow("typed lower case reads as upper case") << 3 << "ff" << 0x0000FFu;
    QTest::newRow("blank") << 3 << "1 2" << 0x102u;
    QTest::newRow("number sign") << 3 << "#FF" << 0xFFu;
    QTest::newRow("G1") << 13 << "G1" << 0x1u;
    QTest::newRow("empty") << 13 << "" << 0x0u;
    QTest::newRow("seven digits") << 13 << "1000000" << 0x1000000u;
    QTest::newRow("nine digits") << 43 << "123456789" << 0x23456789u;
    QTest::newRow("eight F") << 43 << "FFFFFFFF" << 0xFFFFFFFFu;
}

void ProgramTest::hexFieldsSetTheirColour()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(quint32, expected);
    clearAndType(control()->editField(field), typed);
    const SceneParams& params = m_app->params();
    const PackedColor actual
        = field == 3 ? params.backgroundTop : (field == 13 ? params.backgroundBottom : params.textColor);
    QCOMPARE(actual, expected);
}

void ProgramTest::textFieldSetsTheText()
{
    QLineEdit* field = control()->editField(33);
    clearAndType(field, "Glas");
    QCOMPARE(m_app->params().text, std::string("Glas"));
    field->insert(QString::fromUtf8("  \u20AC\u4E2D"));
    QCOMPARE(m_app->params().text, std::string("Glas  \u20AC")); // blanks kept, the CJK character refused
    clearAndType(field, "");
    QCOMPARE(m_app->params().text, std::string());
}

void ProgramTest::everySliderPositionRoundTripsThroughTheControls_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("36") << 36;
    QTest::newRow("47") << 47;
    QTest::newRow("48") << 48;
    QTest::newRow("56") << 56;
}

void ProgramTest::everySliderPositionRoundTripsThroughTheControls()
{
    QFETCH(int, number);
    QSlider* slider = control()->slider(number);
    const SceneParams& params = m_app->params();
    for (int position = slider->minimum(); position <= slider->maximum(); ++position) {
        slider->setValue(position == 0 ? 1 : 0);
        slider->setValue(position); // a movement: the binding stores the value
        switch (number) {
        case 36:
            QCOMPARE(params.textElevation, static_cast<float>(position / 200.0));
            break;
        case 47:
            QCOMPARE(params.brightnessUp, static_cast<float>(position / 100.0));
            break;
        case 48:
            QCOMPARE(params.brightnessDown, static_cast<float>(position / 100.0));
            break;
        case 56:
            QCOMPARE(params.reflectionFadeStep, fadeStepFromPosition(position));
            break;
        }
        {
            const QSignalBlocker quiet(slider);
            slider->setValue(position == 0 ? 7 : 0);
        }
        m_app->refreshControls();
        QVERIFY2(slider->value() == position,
            qPrintable(QStringLiteral("position %1 came back as %2").arg(position).arg(slider->value())));
    }
}

void ProgramTest::everyControlEventRequestsARender_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("changesRecord");
    QTest::newRow("tab change") << 1 << "tab" << false;
    QTest::newRow("tab row click") << 1 << "tabclick" << false;
    QTest::newRow("swatch 4 click") << 4 << "click" << false;
    QTest::newRow("swatch 14 right click") << 14 << "rightclick" << false;
    QTest::newRow("swatch 44 double click") << 44 << "doubleclick" << false;
    QTest::newRow("background image field") << 23 << "type" << false;
    QTest::newRow("browse button") << 24 << "click" << false;
    QTest::newRow("hex field focus") << 3 << "focus" << false;
    QTest::newRow("hex field typing") << 13 << "type" << true;
    QTest::newRow("text field typing") << 33 << "type" << true;
    QTest::newRow("slider key") << 47 << "key" << true;
    QTest::newRow("cancelled colour chooser") << 45 << "cancel" << false;
    QTest::newRow("cancelled font chooser") << 34 << "cancel" << false;
}

void ProgramTest::everyControlEventRequestsARender()
{
    QFETCH(int, number);
    QFETCH(QString, action);
    QFETCH(bool, changesRecord);
    control()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(control()));
    QWidget* widget = control()->control(number);
    if (number != 1)
        control()->tabControl()->setCurrentWidget(widget->parentWidget());
    const SceneParams before = withoutSize(m_app->params());
    const std::uint64_t requests = m_app->renderRequestCount();

    if (action == "tab") {
        control()->tabControl()->setCurrentIndex(1);
    } else if (action == "tabclick") {
        emit control()->tabControl()->tabBarClicked(0);
    } else if (action == "click") {
        QTest::mouseClick(widget, Qt::LeftButton);
    } else if (action == "rightclick") {
        QTest::mouseClick(widget, Qt::RightButton);
    } else if (action == "doubleclick") {
        QTest::mouseDClick(widget, Qt::LeftButton);
    } else if (action == "type") {
        QTest::keyClicks(widget, "A");
    } else if (action == "focus") {
        widget->setFocus();
    } else if (action == "key") {
        QTest::keyClick(widget, Qt::Key_Home);
    } else if (action == "cancel") {
        if (number == 34)
            whenModal<QFontDialog>([](QFontDialog* dialog) { dialog->reject(); });
        else
            whenModal<QColorDialog>([](QColorDialog* dialog) { dialog->reject(); });
        QTest::mouseClick(widget, Qt::LeftButton);
    }
    QVERIFY(m_app->renderRequestCount() > requests);
    QCOMPARE(withoutSize(m_app->params()) != before, changesRecord);
}

void ProgramTest::colourChooserAccepted_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("field");
    QTest::addColumn<QColor>("initial");
    QTest::addColumn<QColor>("chosen");
    QTest::addColumn<QString>("shown");
    QTest::newRow("5 red") << 5 << 3 << QColor(0xF0, 0xF0, 0xF0) << QColor(255, 0, 0) << "0000FF";
    QTest::newRow("15 blue") << 15 << 13 << QColor(0x70, 0x70, 0x70) << QColor(0, 0, 255) << "FF0000";
    QTest::newRow("45 mixed") << 45 << 43 << QColor(0x90, 0x20, 0x20) << QColor(0x12, 0x34, 0x56) << "563412";
}

void ProgramTest::colourChooserAccepted()
{
    QFETCH(int, button);
    QFETCH(int, field);
    QFETCH(QColor, initial);
    QFETCH(QColor, chosen);
    QFETCH(QString, shown);
    control()->tabControl()->setCurrentWidget(control()->control(button)->parentWidget());

    bool seen = false;
    whenModal<QColorDialog>([&](QColorDialog* dialog) {
        seen = true;
        QCOMPARE(dialog->currentColor(), initial);
        QCOMPARE(QColorDialog::customColor(0), initial);
        QVERIFY(dialog->testOption(QColorDialog::DontUseNativeDialog));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        dialog->setCurrentColor(chosen);
        dialog->accept();
    });
    QTest::mouseClick(control()->control(button), Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(control()->editField(field)->text(), shown); // six digits, also for the background
    const SceneParams& params = m_app->params();
    const PackedColor value
        = field == 3 ? params.backgroundTop : (field == 13 ? params.backgroundBottom : params.textColor);
    QCOMPARE(value, packColor(chosen.red(), chosen.green(), chosen.blue()));
}

void ProgramTest::colourChooserCancelledChangesNothing()
{
    control()->tabControl()->setCurrentIndex(0);
    const SceneParams before = withoutSize(m_app->params());
    whenModal<QColorDialog>([](QColorDialog* dialog) {
        dialog->setCurrentColor(Qt::red);
        dialog->reject();
    });
    QTest::mouseClick(control()->control(15), Qt::LeftButton);
    QCOMPARE(withoutSize(m_app->params()), before);
    QCOMPARE(control()->editField(13)->text(), QStringLiteral("707070"));
}

void ProgramTest::colourChooserOpensBlackForMinusOne()
{
    control()->tabControl()->setCurrentIndex(2);
    clearAndType(control()->editField(43), "FFFFFFFF");
    QCOMPARE(m_app->params().textColor, 0xFFFFFFFFu);
    QColor opened;
    whenModal<QColorDialog>([&](QColorDialog* dialog) {
        opened = dialog->currentColor();
        dialog->reject();
    });
    QTest::mouseClick(control()->control(45), Qt::LeftButton);
    QCOMPARE(opened, QColor(Qt::black));
    QCOMPARE(m_app->params().textColor, 0xFFFFFFFFu);
    QCOMPARE(control()->editField(43)->text(), QStringLiteral("FFFFFFFF"));
}

void ProgramTest::customColoursStayForTheRun()
{
    const QColor defined(0x11, 0xAA, 0x33);
    whenModal<QColorDialog>([&](QColorDialog* dialog) {
        QColorDialog::setCustomColor(3, defined); // the user defines a custom colour
        dialog->reject();
    });
    QTest::mouseClick(control()->control(5), Qt::LeftButton);
    QCOMPARE(m_app->customColors()[3], defined);

    QColor third, first;
    whenModal<QColorDialog>([&](QColorDialog* dialog) {
        third = QColorDialog::customColor(3);
        first = QColorDialog::customColor(0);
        dialog->accept();
    });
    QTest::mouseClick(control()->control(15), Qt::LeftButton);
    QCOMPARE(third, defined);
    QCOMPARE(first, QColor(0x70, 0x70, 0x70)); // the first is this chooser's initial colour
    QCOMPARE(m_app->customColors()[0], QColor(0x70, 0x70, 0x70));
    for (int i : { 1, 2, 4, 15 })
        QCOMPARE(m_app->customColors()[static_cast<std::size_t>(i)], QColor(Qt::black));
}

void ProgramTest::fontChooserAccepted_data()
{
    QTest::addColumn<QString>("styleName");
    QTest::addColumn<int>("style");
    QTest::newRow("regular") << "Regular" << 0;
    QTest::newRow("bold") << "Bold" << 0x100;
    QTest::newRow("italic") << "Italic" << 0x200;
    QTest::newRow("bold italic") << "Bold Italic" << 0x300;
    QTest::newRow("semibold counts as bold") << "Semibold" << 0x100;
}

void ProgramTest::fontChooserAccepted()
{
    QFETCH(QString, styleName);
    QFETCH(int, style);
    control()->tabControl()->setCurrentIndex(2);
    // DejaVu Sans lists an oblique style first: the chooser must still open upright.
    m_app->params().fontName = "DejaVu Sans";
    m_app->params().fontSize = 12;
    m_app->params().fontStyle = 0x300; // the chooser starts regular all the same

    QFont opened;
    whenModal<QFontDialog>([&](QFontDialog* dialog) {
        opened = dialog->currentFont();
        QVERIFY(dialog->testOption(QFontDialog::DontUseNativeDialog));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        // The user picks Lato in a style at 30 points.
        QFont font(QStringLiteral("Lato"), 30);
        font.setStyleName(styleName);
        dialog->setCurrentFont(font);
        dialog->accept();
    });
    QTest::mouseClick(control()->control(34), Qt::LeftButton);
    QCOMPARE(opened.family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(opened.pointSize(), 12);
    QVERIFY(!opened.bold());
    QVERIFY(!opened.italic());
    QCOMPARE(m_app->params().fontName, std::string("Lato"));
    QCOMPARE(m_app->params().fontSize, 30);
    QCOMPARE(m_app->params().fontStyle, style);
}

void ProgramTest::fontChooserCancelledChangesNothing()
{
    control()->tabControl()->setCurrentIndex(2);
    const SceneParams before = withoutSize(m_app->params());
    whenModal<QFontDialog>([](QFontDialog* dialog) {
        dialog->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 50, QFont::Bold));
        dialog->reject();
    });
    QTest::mouseClick(control()->control(34), Qt::LeftButton);
    QCOMPARE(withoutSize(m_app->params()), before);
}

void ProgramTest::chosenFontMapsToTheRecord_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("style");
    const auto make = [](double points, QFont::Weight weight, bool italic, bool underline, bool strikeOut) {
        QFont font(QStringLiteral("Lato"));
        font.setPointSizeF(points);
        font.setWeight(weight);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strikeOut);
        return font;
    };
    QTest::newRow("half points are cut") << make(10.5, QFont::Normal, false, false, false) << 10 << 0;
    QTest::newRow("demi bold counts as bold") << make(30, QFont::DemiBold, false, false, false) << 30 << 0x100;
    QTest::newRow("medium is not bold") << make(30, QFont::Medium, false, false, false) << 30 << 0;
    QTest::newRow("black italic") << make(8, QFont::Black, true, false, false) << 8 << 0x300;
    QTest::newRow("underline and strike-out") << make(12, QFont::Normal, false, true, true) << 12 << 0xC;
}

void ProgramTest::chosenFontMapsToTheRecord()
{
    QFETCH(QFont, font);
    QFETCH(int, size);
    QFETCH(int, style);
    SceneParams params;
    applyChosenFont(font, params);
    QCOMPARE(params.fontName, std::string("Lato"));
    QCOMPARE(params.fontSize, size);
    QCOMPARE(params.fontStyle, style);
}

void ProgramTest::fontChooserPresetsNoSizeForZero()
{
    SceneParams params;
    params.fontName = "Lato";
    params.fontSize = 0;
    params.fontStyle = 0x100;
    const QFont font = fontForChooser(params);
    QCOMPARE(font.family(), QStringLiteral("Lato"));
    QVERIFY(!(font.resolveMask() & QFont::SizeResolved));
    QVERIFY(!font.bold());
    params.fontSize = 30;
    QCOMPARE(fontForChooser(params).pointSize(), 30);
}

void ProgramTest::finishedFrameIsPresented()
{
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    const Layer& surface = m_app->surface().raster();
    // The top row of the gradient is backgroundTop itself; below the preview, black.
    QCOMPARE(surface.pixel(0, 0) & kChannelMask, 0xF0F0F0u);
    QCOMPARE(surface.pixel(799, 0) & kChannelMask, 0xF0F0F0u);
    if (surface.height() > 200)
        QCOMPARE(surface.pixel(0, 200) & kChannelMask, 0u);
    // The window shows the surface 1:1.
    const QImage shown = m_app->previewWindow()->grab().toImage();
    QCOMPARE(shown.pixel(0, 0) & 0xFFFFFFu, qRgb(0xF0, 0xF0, 0xF0) & 0xFFFFFFu);
    const PackedColor middle = surface.pixel(400, 150);
    QCOMPARE(shown.pixel(400, 150) & 0xFFFFFFu,
        qRgb(redOf(middle), greenOf(middle), blueOf(middle)) & 0xFFFFFFu);
}

void ProgramTest::resizeRendersAtTheNewSize()
{
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    m_app->previewWindow()->resize(400, 100);
    QTRY_COMPARE(m_app->params().width, 400);
    const auto presentedSize = [this] {
        QSize size;
        m_app->worker().withFinishedFrame(
            [&](const Layer*, const SceneParams& rendered) { size = QSize(rendered.width, rendered.height); });
        return size;
    };
    QTRY_COMPARE(presentedSize(), QSize(400, 100));
    const Layer& surface = m_app->surface().raster();
    QTRY_COMPARE(surface.pixel(500, 50) & kChannelMask, 0u); // beyond the new width: black
    QCOMPARE(surface.pixel(399, 0) & kChannelMask, 0xF0F0F0u);
}

void ProgramTest::framesArePresentedWhileInputGoesOn()
{
    QTRY_VERIFY(m_app->presentedFrameCount() >= 1);
    // A slider dragged without a pause: input arrives every few milliseconds.
    QSlider* slider = control()->slider(47);
    QTimer drag;
    int step = 0;
    connect(&drag, &QTimer::timeout, this, [&] { slider->setValue(++step % 101); });
    drag.start(3);
    const std::uint64_t before = m_app->presentedFrameCount();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(1500);
    const qint64 elapsedMs = clock.elapsed();
    drag.stop();
    const std::uint64_t presented = m_app->presentedFrameCount() - before;
    QVERIFY2(presented >= 3, qPrintable(QStringLiteral("%1 frames presented while input went on").arg(presented)));
    // Never more than 61 presentations a second.
    QVERIFY(presented <= static_cast<std::uint64_t>(elapsedMs * 61 / 1000 + 1));
    QVERIFY(step > 100);
}

void ProgramTest::closingEitherWindowEndsTheLoop_data()
{
    QTest::addColumn<bool>("preview");
    QTest::newRow("PreviewWindow") << true;
    QTest::newRow("ControlWindow") << false;
}

void ProgramTest::closingEitherWindowEndsTheLoop()
{
    QFETCH(bool, preview);
    QWidget* window = preview ? static_cast<QWidget*>(m_app->previewWindow()) : control();
    QEventLoop loop;
    connect(m_app.get(), &LumivexApp::closeRequested, &loop, [&loop] { loop.exit(0); });
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
}

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
