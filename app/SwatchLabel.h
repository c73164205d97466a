#pragma once
// A colour swatch: a 26 x 26 image inside a sunken edge of 2 pixels (30 x 30 in all).
// It takes no focus and reports every click on it: left or right, single or double
// (a press is also where a drag would start).

#include <QLabel>

namespace lumivex {

class SwatchLabel : public QLabel {
    Q_OBJECT
public:
    explicit SwatchLabel(QWidget* parent = nullptr);

signals:
    void activated();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace lumivex
