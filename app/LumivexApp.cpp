#include "LumivexApp.h"

#include "ControlValues.h"
#include "ControlWindow.h"
#include "PreviewWindow.h"
#include "SwatchLabel.h"

#include "files/Bitmap.h"
#include "files/PathRules.h"
#include "files/SettingsFile.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QSlider>

#include <algorithm>
#include <limits>

namespace lumivex {

namespace {

constexpr int kStartWidth = 800;
constexpr int kStartHeight = 200;
// More than 1/61 s lies between two presentations once this has passed since a refusal.
constexpr int kPresentRetryMs = 17;

// Swatch controls in the order of SwatchImages (images 2, 12, 42).
constexpr std::array<int, 3> kSwatchControls { 4, 14, 44 };

QImage imageOf(const Layer& layer)
{
    if (!layer.valid())
        return {};
    // PackedColor words lie in memory as the bytes red, green, blue, 0.
    return QImage(reinterpret_cast<const uchar*>(layer.row(0)), layer.width(), layer.height(),
        static_cast<qsizetype>(layer.pitchBytes()), QImage::Format_RGBX8888)
        .copy();
}

QPixmap blackSwatch()
{
    QPixmap pixmap(kSwatchSize, kSwatchSize);
    pixmap.fill(Qt::black);
    return pixmap;
}

std::string localPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString displayPath(const std::string& path)
{
    return QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path)));
}

QString withReason(const QString& message, const std::string& reason)
{
    if (reason.empty())
        return message;
    return message + QLatin1Char('\n') + QString::fromStdString(reason);
}

// A side the preview window can have: values below 1 keep the current side, larger ones
// than the limit are cut to it.
int fitSide(int wanted, int current, int limit)
{
    if (wanted < 1)
        return current;
    return std::min(wanted, limit);
}

} // namespace

const FileCommandSpec* fileCommand(int item)
{
    for (const FileCommandSpec& command : kFileCommands)
        if (command.item == item)
            return &command;
    return nullptr;
}

void applyChosenFont(const QFont& font, SceneParams& params)
{
    params.fontName = font.family().toStdString();
    const double points = font.pointSizeF();
    params.fontSize = points > 0 ? truncateToInt(points) : 0;
    std::int32_t style = 0;
    if (font.weight() >= QFont::DemiBold)
        style |= FontStyleBold;
    if (font.italic())
        style |= FontStyleItalic;
    if (font.underline())
        style |= FontStyleUnderline;
    if (font.strikeOut())
        style |= FontStyleStrikeOut;
    params.fontStyle = style;
}

QString regularStyleOf(const QString& family)
{
    // Faces name their upright normal-weight style differently ("Regular", "Book", ...);
    // without the name the chooser would take the family's first style, which may be
    // oblique. Prefer a common name, then the plainest (shortest) matching one.
    static const QStringList kCommonNames { "Regular", "Normal", "Book", "Roman", "Standard" };
    QString best;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) || QFontDatabase::weight(family, style) != QFont::Normal)
            continue;
        if (kCommonNames.contains(style, Qt::CaseInsensitive))
            return style;
        if (best.isEmpty() || style.size() < best.size())
            best = style;
    }
    return best;
}

QFont fontForChooser(const SceneParams& params)
{
    QFont font;
    const QString family = QString::fromStdString(params.fontName);
    font.setFamily(family);
    if (params.fontSize > 0)
        font.setPointSize(params.fontSize);
    // The chooser starts from the regular style, whatever fontStyle holds.
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    if (const QString regular = regularStyleOf(family); !regular.isEmpty())
        font.setStyleName(regular);
    return font;
}

QColor colorForChooser(PackedColor value)
{
    if (value == 0xFFFFFFFFu)
        return QColor(Qt::black);
    return QColor(redOf(value), greenOf(value), blueOf(value));
}

const std::array<LumivexApp::Binding, 12> LumivexApp::kBindings { {
    { 3, &LumivexApp::readHexField },
    { 5, &LumivexApp::chooseColor },
    { 13, &LumivexApp::readHexField },
    { 15, &LumivexApp::chooseColor },
    { 33, &LumivexApp::readTextField },
    { 34, &LumivexApp::chooseFont },
    { 36, &LumivexApp::readSlider },
    { 43, &LumivexApp::readHexField },
    { 45, &LumivexApp::chooseColor },
    { 47, &LumivexApp::readSlider },
    { 48, &LumivexApp::readSlider },
    { 56, &LumivexApp::readSlider },
} };

LumivexApp::LumivexApp()
{
    if (m_toolkitSettings.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_toolkitSettings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_toolkitSettings.path());
    }
    m_customColors.fill(QColor(Qt::black));

    // The primary screen, measured once. Without a screen both sides are 0.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_screenSize = screen->size();
        m_dpiY = qRound(screen->logicalDotsPerInchY());
    }
    if (m_dpiY <= 0)
        m_dpiY = 96;
    const int screenWidth = std::max(0, m_screenSize.width());
    const int screenHeight = std::max(0, m_screenSize.height());

    m_params.width = kStartWidth;
    m_params.height = kStartHeight;

    m_preview = std::make_unique<PreviewWindow>();
    m_preview->resize(kStartWidth, kStartHeight);
    m_preview->move(screenWidth / 2 - 400, screenHeight / 2 + 30);

    m_surface = std::make_unique<OutputSurface>(screenWidth, screenHeight);
    m_preview->setSurface(m_surface.get());
    m_preview->show();

    RenderWorker::Callbacks callbacks;
    callbacks.swatchesPainted = [this](const SwatchImages& images) {
        QMetaObject::invokeMethod(this, [this, images] { showSwatches(images); }, Qt::QueuedConnection);
    };
    callbacks.frameFinished = [this](std::uint64_t) {
        QMetaObject::invokeMethod(this, [this] { schedulePresentation(); }, Qt::QueuedConnection);
    };
    m_worker = std::make_unique<RenderWorker>(m_dpiY, std::move(callbacks));

    m_control = std::make_unique<ControlWindow>();
    m_control->move(screenWidth / 2 - 400, screenHeight / 2 - 200);
    m_control->build();
    for (const int number : kSwatchControls)
        m_control->swatch(number)->setPixmap(blackSwatch());
    m_control->show();

    const SceneParams defaults;
    const std::int32_t width = m_params.width;
    const std::int32_t height = m_params.height;
    m_params = defaults;
    m_params.width = width;
    m_params.height = height;

    refreshControls();

    m_presentTimer.setSingleShot(true);
    m_presentTimer.setTimerType(Qt::PreciseTimer);
    m_presentTimer.setInterval(kPresentRetryMs);
    connect(&m_presentTimer, &QTimer::timeout, this, &LumivexApp::schedulePresentation);
    connect(m_control.get(), &ControlWindow::controlEvent, this, &LumivexApp::controlEvent);
    connect(m_control.get(), &ControlWindow::menuCommand, this, &LumivexApp::runFileCommand);
    connect(m_control.get(), &ControlWindow::resized, this, &LumivexApp::requestRender);
    connect(m_preview.get(), &PreviewWindow::resized, this, &LumivexApp::requestRender);
    connect(m_control.get(), &ControlWindow::closeRequested, this, &LumivexApp::closeRequested);
    connect(m_preview.get(), &PreviewWindow::closeRequested, this, &LumivexApp::closeRequested);

    requestRender();
}

LumivexApp::~LumivexApp()
{
    m_presentTimer.stop();
    // Lets a running render finish and joins; nothing it uses goes away before.
    m_worker.reset();
    m_control.reset();
    if (m_preview)
        m_preview->setSurface(nullptr);
    m_preview.reset();
    m_surface.reset();
}

void LumivexApp::controlEvent(int number)
{
    dispatch(number);
    requestRender();
}

void LumivexApp::dispatch(int number)
{
    for (const Binding& binding : kBindings) {
        if (binding.control == number) {
            (this->*binding.run)(number);
            return;
        }
    }
}

void LumivexApp::requestRender()
{
    if (!m_worker || !m_preview)
        return;
    // The render reads the preview's client size into the record.
    m_params.width = m_preview->width();
    m_params.height = m_preview->height();
    ++m_renderRequests;
    m_worker->requestRender(m_params);
}

void LumivexApp::refreshControls()
{
    const auto setSlider = [this](int number, std::int32_t position) {
        QSlider* slider = m_control->slider(number);
        // Showing a value is no event of the slider: the record keeps what it holds.
        const QSignalBlocker quiet(slider);
        slider->setValue(position); // outside the range it shows the nearest end
    };
    const auto setText = [this](int number, const std::string& text) {
        QLineEdit* field = m_control->editField(number);
        const QString shown = QString::fromStdString(text);
        // The field's limit is for typing. A longer text from a settings file is shown
        // whole; cut, the field's next event would store the cut text in the record.
        if (shown.size() > field->maxLength())
            field->setMaxLength(static_cast<int>(std::min<qsizetype>(shown.size(), std::numeric_limits<int>::max())));
        field->setText(shown);
    };

    // A settings file may bring sides the window cannot have; it keeps a size it can have
    // and the next render reads that back into the record.
    const int sideLimit = Layer::kMaxSide / 2;
    const int widthLimit = m_screenSize.width() > 0 ? std::min(m_screenSize.width(), sideLimit) : sideLimit;
    const int heightLimit = m_screenSize.height() > 0 ? std::min(m_screenSize.height(), sideLimit) : sideLimit;
    m_preview->resize(fitSide(m_params.width, m_preview->width(), widthLimit),
        fitSide(m_params.height, m_preview->height(), heightLimit));

    setText(33, m_params.text);
    setText(3, formatHexDigits(m_params.backgroundTop));
    setText(13, formatHexDigits(m_params.backgroundBottom));
    setSlider(36, positionFromTextElevation(m_params.textElevation));
    setText(43, formatHexColor(m_params.textColor));
    setSlider(56, positionFromFadeStep(m_params.reflectionFadeStep));
    setSlider(47, positionFromBrightness(m_params.brightnessUp));
    setSlider(48, positionFromBrightness(m_params.brightnessDown));
}

PackedColor& LumivexApp::colorFieldOf(int number)
{
    switch (number) {
    case 3:
    case 5:
        return m_params.backgroundTop;
    case 13:
    case 15:
        return m_params.backgroundBottom;
    default:
        Q_ASSERT_X(number == 43 || number == 45, "LumivexApp::colorFieldOf", "not a colour control");
        return m_params.textColor;
    }
}

void LumivexApp::readHexField(int number)
{
    colorFieldOf(number) = parseHexColor(m_control->editField(number)->text().toStdU32String());
}

void LumivexApp::chooseColor(int number)
{
    const QColor initial = colorForChooser(colorFieldOf(number));
    // The custom colours live for the run; the first shows the colour the chooser starts from.
    m_customColors[0] = initial;
    for (int i = 0; i < static_cast<int>(m_customColors.size()); ++i)
        QColorDialog::setCustomColor(i, m_customColors[static_cast<std::size_t>(i)]);
    const std::optional<QColor> chosen = askForColor(initial);
    for (int i = 0; i < static_cast<int>(m_customColors.size()); ++i)
        m_customColors[static_cast<std::size_t>(i)] = QColorDialog::customColor(i);
    if (!chosen || !chosen->isValid())
        return;

    const QColor rgb = chosen->toRgb();
    const int field = number - 2; // the hex field of the same frame
    m_control->editField(field)->setText(
        QString::fromStdString(formatHexColor(packColor(rgb.red(), rgb.green(), rgb.blue()))));
    readHexField(field);
}

void LumivexApp::readTextField(int number)
{
    m_params.text = m_control->editField(number)->text().toStdString();
}

void LumivexApp::chooseFont(int)
{
    const std::optional<QFont> chosen = askForFont(fontForChooser(m_params));
    if (chosen)
        applyChosenFont(*chosen, m_params);
}

void LumivexApp::readSlider(int number)
{
    const int position = m_control->slider(number)->value();
    switch (number) {
    case 36:
        m_params.textElevation = textElevationFromPosition(position);
        break;
    case 47:
        m_params.brightnessUp = brightnessFromPosition(position);
        break;
    case 48:
        m_params.brightnessDown = brightnessFromPosition(position);
        break;
    case 56:
        m_params.reflectionFadeStep = fadeStepFromPosition(position);
        break;
    default:
        Q_ASSERT_X(false, "LumivexApp::readSlider", "not a slider");
    }
}

void LumivexApp::runFileCommand(int item)
{
    const FileCommandSpec* command = fileCommand(item);
    if (!command)
        return;
    switch (item) {
    case kMenuLoadSettings:
        loadSettingsCommand(*command);
        break;
    case kMenuSaveSettings:
        saveSettingsCommand(*command);
        break;
    case kMenuSaveImage:
        saveImageCommand(*command);
        break;
    default:
        break;
    }
}

void LumivexApp::loadSettingsCommand(const FileCommandSpec& command)
{
    const QString chosen = askForPath(command);
    if (chosen.isEmpty())
        return;
    const std::string path = localPath(chosen);
    std::string reason;
    if (!loadSettings(path, m_params, &reason)) {
        showError(withReason(tr("Die Datei „%1“ konnte nicht geladen werden.").arg(displayPath(path)), reason));
        return;
    }
    refreshControls();
    requestRender();
}

void LumivexApp::saveSettingsCommand(const FileCommandSpec& command)
{
    const QString chosen = askForPath(command);
    if (chosen.isEmpty())
        return;
    const std::string path = ensureExtension(localPath(chosen), command.extension);
    std::string reason;
    if (!saveSettings(path, m_params, &reason))
        showError(withReason(tr("Die Datei „%1“ konnte nicht gespeichert werden.").arg(displayPath(path)), reason));
}

void LumivexApp::saveImageCommand(const FileCommandSpec& command)
{
    const QString chosen = askForPath(command);
    if (chosen.isEmpty())
        return;
    const std::string path = ensureExtension(localPath(chosen), command.extension);
    std::string reason;
    // What the preview presented last, at the record's size.
    if (!exportBitmap(path, m_params.width, m_params.height, m_surface->raster(), &reason))
        showError(withReason(
            tr("Das Bild konnte nicht in der Datei „%1“ gespeichert werden.").arg(displayPath(path)), reason));
}

QWidget* LumivexApp::dialogOwner() const
{
    if (QApplication::activeWindow() == m_preview.get())
        return m_preview.get();
    return m_control.get();
}

QString LumivexApp::askForPath(const FileCommandSpec& command)
{
    QFileDialog dialog(dialogOwner(), QString::fromUtf8(command.title));
    dialog.setObjectName(QStringLiteral("fileChooser"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(command.mode == ChooserMode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // A load may name a file that does not exist; the load then reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8(command.nameFilter));
    // Always the working folder and the same offered name: nothing is remembered.
    dialog.setDirectory(QDir::currentPath());
    dialog.selectFile(QString::fromUtf8(command.offeredName));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void LumivexApp::showError(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Lumivex"), message, QMessageBox::Ok, dialogOwner());
    box.setObjectName(QStringLiteral("errorMessage"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::optional<QColor> LumivexApp::askForColor(const QColor& initial)
{
    QColorDialog dialog(initial, dialogOwner());
    dialog.setObjectName(QStringLiteral("colorChooser"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

std::optional<QFont> LumivexApp::askForFont(const QFont& initial)
{
    QFontDialog dialog(initial, dialogOwner());
    dialog.setObjectName(QStringLiteral("fontChooser"));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}

void LumivexApp::showSwatches(const SwatchImages& images)
{
    if (!m_control)
        return;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const QImage image = imageOf(images[i]);
        if (!image.isNull())
            m_control->swatch(kSwatchControls[i])->setPixmap(QPixmap::fromImage(image));
    }
}

void LumivexApp::schedulePresentation()
{
    if (m_pacer.tryAcquire())
        presentNow();
    else if (!m_presentTimer.isActive())
        m_presentTimer.start();
}

void LumivexApp::presentNow()
{
    if (!m_worker || !m_surface)
        return;
    // Only a finished frame is ever handed out, at the size it was rendered at.
    m_worker->withFinishedFrame([this](const Layer* frame, const SceneParams& rendered) {
        presentPreview(*m_surface, frame, rendered.width, rendered.height);
    });
    ++m_presentedFrames;
    m_preview->update();
}

} // namespace lumivex
