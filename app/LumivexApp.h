#pragma once
// The program: owns the scene record, both windows, the render worker and the
// OutputSurface, and connects them.
//
// Start-up (constructor): measure the primary screen once; width 800, height 200; open
// PreviewWindow and the OutputSurface of the screen's size; black swatch images; open
// ControlWindow and build its menu and controls; the remaining defaults; refreshControls;
// the first render request.
//
// Run: every control event runs the control's binding (by number) and then requests a
// render; menu items 2, 3 and 4 run the file commands; a size change of either window
// requests a render; a close request on either window emits closeRequested, on which the
// caller ends its event loop. A finished frame is presented at once, at most 61 times a
// second, and only ever a finished one.
//
// Threads: everything here runs on the user-interface thread. Worker callbacks arrive on
// the worker thread and are queued over as values.
//
// The choosers and the error message are virtual, so tests can stand in for the user.

#include "ControlLayout.h"

#include "preview/Presentation.h"
#include "preview/RenderWorker.h"
#include "scene/SceneParams.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

namespace lumivex {

class ControlWindow;
class PreviewWindow;

enum class ChooserMode { Open, Save };

struct FileCommandSpec {
    int item;
    const char* title;        // the command's text, also the chooser's title
    ChooserMode mode;
    const char* offeredName;  // pre-filled in the chooser's name field
    const char* nameFilter;   // the one type entry
    const char* extension;    // appended unless the name ends in it; nullptr: no rule
};

inline constexpr std::array<FileCommandSpec, 3> kFileCommands { {
    { kMenuLoadSettings, "Bilddaten laden", ChooserMode::Open, "Unbenennt.lvx", "*.lvx", nullptr },
    { kMenuSaveSettings, "Bilddaten speichern", ChooserMode::Save, "Unbenennt.lvx", "*.lvx", "lvx" },
    { kMenuSaveImage, "Bild speichern", ChooserMode::Save, "Unbenennt.bmp", "*.bmp", "bmp" },
} };

const FileCommandSpec* fileCommand(int item);

// What the font chooser's result means for the record: the family, the size in whole
// points (truncated) and the style flags (bold from weight 600 up, italic, underline,
// strike-out).
void applyChosenFont(const QFont& font, SceneParams& params);

// The chooser's starting font: the face, and the size in points unless it is 0 or less.
QFont fontForChooser(const SceneParams& params);

// The colour a chooser starts from: the three channels of the value; -1 opens black.
QColor colorForChooser(PackedColor value);

class LumivexApp : public QObject {
    Q_OBJECT
public:
    LumivexApp();
    ~LumivexApp() override;

    // A control event: the binding of that control, then a render request.
    void controlEvent(int number);
    // The binding alone; numbers without a binding do nothing.
    void dispatch(int number);
    void refreshControls();
    void requestRender();
    void runFileCommand(int item);

    SceneParams& params() { return m_params; }
    const SceneParams& params() const { return m_params; }
    QSize screenSize() const { return m_screenSize; }
    int dpiY() const { return m_dpiY; }
    ControlWindow* controlWindow() const { return m_control.get(); }
    PreviewWindow* previewWindow() const { return m_preview.get(); }
    RenderWorker& worker() { return *m_worker; }
    const OutputSurface& surface() const { return *m_surface; }
    std::uint64_t presentedFrameCount() const { return m_presentedFrames; }
    std::uint64_t renderRequestCount() const { return m_renderRequests; }
    const std::array<QColor, 16>& customColors() const { return m_customColors; }

signals:
    void closeRequested();

protected:
    // An empty text when the user cancels.
    virtual QString askForPath(const FileCommandSpec& command);
    virtual void showError(const QString& message);
    // Nothing when the user cancels.
    virtual std::optional<QColor> askForColor(const QColor& initial);
    virtual std::optional<QFont> askForFont(const QFont& initial);

private:
    void readHexField(int number);
    void chooseColor(int number);
    void readTextField(int number);
    void chooseFont(int number);
    void readSlider(int number);
    PackedColor& colorFieldOf(int number);

    void loadSettingsCommand(const FileCommandSpec& command);
    void saveSettingsCommand(const FileCommandSpec& command);
    void saveImageCommand(const FileCommandSpec& command);

    void showSwatches(const SwatchImages& images);
    void schedulePresentation();
    void presentNow();
    QWidget* dialogOwner() const;

    struct Binding {
        int control;
        void (LumivexApp::*run)(int control);
    };
    static const std::array<Binding, 12> kBindings;

    // Qt's own dialogs keep their state (last folder, custom colours) in a settings file
    // of the toolkit; this program keeps no configuration, so that goes to a folder that
    // lives only as long as the program.
    QTemporaryDir m_toolkitSettings;

    SceneParams m_params;
    QSize m_screenSize;
    int m_dpiY = 96;
    std::unique_ptr<PreviewWindow> m_preview;
    std::unique_ptr<OutputSurface> m_surface;
    std::unique_ptr<ControlWindow> m_control;
    std::unique_ptr<RenderWorker> m_worker;
    PresentPacer m_pacer;
    QTimer m_presentTimer;
    std::uint64_t m_presentedFrames = 0;
    std::uint64_t m_renderRequests = 0;
    std::array<QColor, 16> m_customColors;
};

} // namespace lumivex
