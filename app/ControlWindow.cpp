#include "ControlWindow.h"

#include "EditFields.h"
#include "SwatchLabel.h"
#include "WindowFlags.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>

namespace lumivex {

namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 200;

QString captionOf(const ControlEntry& entry)
{
    return entry.caption ? QString::fromUtf8(entry.caption) : QString();
}

void tag(QObject* object, int number)
{
    object->setObjectName(QStringLiteral("control%1").arg(number));
    object->setProperty("controlNumber", number);
}

} // namespace

ControlWindow::ControlWindow(QWidget* parent)
    : QMainWindow(parent, kProgramWindowFlags)
{
    setObjectName(QStringLiteral("ControlWindow"));
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    // The menu bar takes its height out of these 800 x 200; the outer size stays.
    setFixedSize(kClientWidth, kClientHeight);
}

ControlWindow::~ControlWindow()
{
    // Widgets that lose the focus while they are torn down must not report events.
    blockSignals(true);
    for (const auto& [number, widget] : m_controls)
        widget->removeEventFilter(this);
}

void ControlWindow::build()
{
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(kMenuCaption));
    menu->setObjectName(QStringLiteral("menuDatei"));
    for (const MenuItemSpec& item : kMenuItems) {
        QAction* action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QStringLiteral("menuItem%1").arg(item.number));
        action->setProperty("menuItem", item.number);
        const int number = item.number;
        connect(action, &QAction::triggered, this, [this, number] { emit menuCommand(number); });
        m_menuItems[item.number] = action;
    }

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

    m_tabs = new QTabWidget(client);
    tag(m_tabs, kTabControl);
    m_tabs->setGeometry(5, 5, 790, 170);
    m_controls[kTabControl] = m_tabs;

    // Pages are inserted as the tab row is built: "Hintergrund", then "Text", then
    // "Spiegelung" in front of "Text".
    const auto addPage = [this](Page page, int index) {
        auto* widget = new QWidget;
        const char* caption = kPages[static_cast<std::size_t>(page)].caption;
        widget->setObjectName(QStringLiteral("page%1").arg(QString::fromUtf8(caption)));
        m_tabs->insertTab(index, widget, QString::fromUtf8(caption));
        m_pages[page] = widget;
        for (const ControlEntry& entry : kControls)
            if (entry.page == page)
                m_controls[entry.number] = createControl(entry, widget);
    };
    addPage(Page::Background, 0);
    addPage(Page::Text, 1);
    addPage(Page::Reflection, 1);
    m_tabs->setCurrentIndex(0);

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { emit controlEvent(kTabControl); });
    connect(m_tabs, &QTabWidget::tabBarClicked, this, [this] { emit controlEvent(kTabControl); });
    for (const ControlEntry& entry : kControls)
        connectControl(entry, m_controls.at(entry.number));
}

QWidget* ControlWindow::createControl(const ControlEntry& entry, QWidget* page)
{
    QWidget* widget = nullptr;
    switch (entry.kind) {
    case ControlKind::Frame:
        widget = new QGroupBox(captionOf(entry), page);
        break;
    case ControlKind::HexField: {
        auto* field = new QLineEdit(page);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(new UpperCaseValidator(field));
        widget = field;
        break;
    }
    case ControlKind::TextField: {
        auto* field = new QLineEdit(page);
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // The scene text goes into settings files; the background-image field has no use
        // beyond its events and takes any text.
        if (entry.number == 33)
            field->setValidator(new SettingsTextValidator(field));
        widget = field;
        break;
    }
    case ControlKind::Swatch:
        widget = new SwatchLabel(page);
        break;
    case ControlKind::Button:
        widget = new QPushButton(captionOf(entry), page);
        break;
    case ControlKind::Label: {
        auto* label = new QLabel(captionOf(entry), page);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        widget = label;
        break;
    }
    case ControlKind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal, page);
        slider->setRange(entry.minimum, entry.maximum);
        slider->setSingleStep(1);
        // A page step of a fifth of the range, as a trackbar has by default.
        slider->setPageStep((entry.maximum - entry.minimum) / 5);
        slider->setValue(0);
        widget = slider;
        break;
    }
    case ControlKind::TabControl:
        Q_ASSERT_X(false, "ControlWindow::createControl", "the tab control is not a page's control");
        return nullptr;
    }
    tag(widget, entry.number);
    widget->setGeometry(entry.x, entry.y, entry.w, entry.h);
    return widget;
}

void ControlWindow::connectControl(const ControlEntry& entry, QWidget* widget)
{
    const int number = entry.number;
    const auto report = [this, number] { emit controlEvent(number); };
    switch (entry.kind) {
    case ControlKind::HexField:
    case ControlKind::TextField: {
        auto* field = static_cast<QLineEdit*>(widget);
        // Typing, pasting and deleting; text set by the program raises nothing.
        connect(field, &QLineEdit::textEdited, this, report);
        field->installEventFilter(this); // focus in and out
        break;
    }
    case ControlKind::Button:
        connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this, report);
        break;
    case ControlKind::Slider: {
        auto* slider = static_cast<QSlider*>(widget);
        connect(slider, &QSlider::valueChanged, this, report);
        connect(slider, &QSlider::sliderReleased, this, report);
        break;
    }
    case ControlKind::Swatch:
        connect(static_cast<SwatchLabel*>(widget), &SwatchLabel::activated, this, report);
        break;
    case ControlKind::TabControl:
    case ControlKind::Frame:
    case ControlKind::Label:
        break;
    }
}

bool ControlWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const QVariant number = watched->property("controlNumber");
        if (number.isValid())
            emit controlEvent(number.toInt());
    }
    return QMainWindow::eventFilter(watched, event);
}

QWidget* ControlWindow::control(int number) const
{
    const auto it = m_controls.find(number);
    return it == m_controls.end() ? nullptr : it->second;
}

QLineEdit* ControlWindow::editField(int number) const
{
    return qobject_cast<QLineEdit*>(control(number));
}

QSlider* ControlWindow::slider(int number) const
{
    return qobject_cast<QSlider*>(control(number));
}

SwatchLabel* ControlWindow::swatch(int number) const
{
    return qobject_cast<SwatchLabel*>(control(number));
}

QWidget* ControlWindow::page(Page page) const
{
    const auto it = m_pages.find(page);
    return it == m_pages.end() ? nullptr : it->second;
}

QAction* ControlWindow::menuItem(int number) const
{
    const auto it = m_menuItems.find(number);
    return it == m_menuItems.end() ? nullptr : it->second;
}

void ControlWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    emit resized();
}

void ControlWindow::closeEvent(QCloseEvent* event)
{
    // The window stays; the program ends and takes both windows down.
    event->ignore();
    emit closeRequested();
}

} // namespace lumivex
