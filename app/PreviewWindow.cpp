#include "PreviewWindow.h"

#include "WindowFlags.h"
#include "preview/Presentation.h"

#include <QCloseEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>

namespace lumivex {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, kProgramWindowFlags)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
}

PreviewWindow::~PreviewWindow()
{
    blockSignals(true);
}

void PreviewWindow::setSurface(const OutputSurface* surface)
{
    m_surface = surface;
    update();
}

void PreviewWindow::paintEvent(QPaintEvent* event)
{
    if (!m_surface || !m_surface->raster().valid())
        return;
    const Layer& raster = m_surface->raster();
    // PackedColor words lie in memory as the bytes red, green, blue, 0.
    const QImage image(reinterpret_cast<const uchar*>(raster.row(0)), raster.width(), raster.height(),
        static_cast<qsizetype>(raster.pitchBytes()), QImage::Format_RGBX8888);
    const QRect area = event->rect() & image.rect();
    if (area.isEmpty())
        return;
    QPainter painter(this);
    painter.drawImage(area.topLeft(), image, area);
}

void PreviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void PreviewWindow::closeEvent(QCloseEvent* event)
{
    // The window stays; the program ends and takes both windows down.
    event->ignore();
    emit closeRequested();
}

} // namespace lumivex
