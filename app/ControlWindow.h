#pragma once
// ControlWindow (window 1): the menu "Datei" and the tab control with its three pages.
//
// The window is 800 x 200 pixels in all, menu bar included, and cannot be resized.
// Controls are found by their number; each carries it as the dynamic property
// "controlNumber" and as its object name ("control33"), menu items as "menuItem" and
// "menuItem2". The window itself changes no parameter: it reports control events, menu
// commands, size changes and close requests by number, and the program decides.

#include "ControlLayout.h"

#include <QMainWindow>
#include <map>

class QAction;
class QLineEdit;
class QSlider;
class QTabWidget;

namespace lumivex {

class SwatchLabel;

class ControlWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ControlWindow(QWidget* parent = nullptr);
    ~ControlWindow() override;

    // Attaches the menu bar and creates the tab control and every control, once.
    void build();

    QWidget* control(int number) const;
    QLineEdit* editField(int number) const;
    QSlider* slider(int number) const;
    SwatchLabel* swatch(int number) const;
    QTabWidget* tabControl() const { return m_tabs; }
    QWidget* page(Page page) const;
    QAction* menuItem(int number) const;

signals:
    void controlEvent(int number);
    void menuCommand(int item);
    void resized();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* createControl(const ControlEntry& entry, QWidget* page);
    void connectControl(const ControlEntry& entry, QWidget* widget);

    QTabWidget* m_tabs = nullptr;
    std::map<int, QWidget*> m_controls;
    std::map<int, QAction*> m_menuItems;
    std::map<Page, QWidget*> m_pages;
};

} // namespace lumivex
