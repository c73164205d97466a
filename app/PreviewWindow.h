#pragma once
// PreviewWindow (window 0): shows the OutputSurface 1:1 with its pixel (0, 0) on the
// top-left pixel of the client area. Whatever of the client area the surface does not
// reach shows the window's background. Sizable; every size change is reported.

#include <QWidget>

namespace lumivex {

class OutputSurface;

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // The surface to show; it must outlive the window or be reset to nullptr first.
    void setSurface(const OutputSurface* surface);

signals:
    void resized();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    const OutputSurface* m_surface = nullptr;
};

} // namespace lumivex
