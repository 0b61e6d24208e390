#include "simulator/FrontPanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include "simulator/SimulatedMeter.h"

namespace {
const char* const kCaseStyle = R"(
QFrame#meterCase {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #474e57, stop:0.5 #343a41, stop:1 #23272c);
    border: 1px solid #15181b;
    border-radius: 18px;
}
QFrame#meterCase QLabel { color: #d8dde3; }
QLabel#meterBrand { font-weight: bold; letter-spacing: 2px; }
QLabel#meterModel { color: #9aa4ae; }
QFrame#meterCase QLabel#frontDisplay {
    background: #b7c8a0;
    color: #17230f;
    border: 3px solid #1b1f23;
    border-radius: 6px;
    padding: 6px 8px;
}
QFrame#meterCase QLabel#frontDisplay[dark="true"] { background: #3a4236; }
QProgressBar#frontBattery {
    background: #1b1f23;
    border: 1px solid #5b636c;
    border-radius: 4px;
    color: #e6e9ec;
    text-align: center;
    max-height: 14px;
}
QProgressBar#frontBattery::chunk { background: #4caf50; border-radius: 3px; }
QProgressBar#frontBattery[low="true"]::chunk { background: #e0533d; }
QPushButton#frontMeasure {
    background: qradialgradient(cx:0.5, cy:0.4, radius:0.8, stop:0 #4fc27a, stop:1 #23804a);
    color: white;
    font-weight: bold;
    border: 2px solid #15502d;
    border-radius: 26px;
    min-width: 150px;
    min-height: 52px;
}
QPushButton#frontMeasure:pressed { background: #1d6b3e; }
QPushButton#frontPower {
    background: qradialgradient(cx:0.5, cy:0.4, radius:0.8, stop:0 #e06455, stop:1 #9c2f24);
    color: white;
    font-weight: bold;
    border: 2px solid #5e1a13;
    border-radius: 26px;
    min-width: 52px;
    max-width: 52px;
    min-height: 52px;
    max-height: 52px;
}
QPushButton#frontPower:pressed { background: #7d241b; }
QPushButton#frontMeasure:focus, QPushButton#frontPower:focus { border-color: #c9d3dc; }
QLabel#frontLamp { border-radius: 6px; min-width: 12px; max-width: 12px; min-height: 12px; max-height: 12px; }
)";
// The power symbol: a broken ring with a bar through the gap.
QIcon PowerSymbol()
{
    QPixmap pixmap(44, 44);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawArc(QRectF(8, 9, 28, 28), 120 * 16, 300 * 16);
    p.drawLine(QPointF(22, 5), QPointF(22, 21));
    return QIcon(pixmap);
}
}  // namespace

MeterFrontPanel::MeterFrontPanel(SimulatedMeter* meter, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_meter(meter)
{
    setObjectName(QStringLiteral("frontPanelWindow"));
    setWindowTitle(QStringLiteral("Haze Meter (simulated)"));
    setAccessibleName(windowTitle());
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* meterCase = new QFrame(this);
    meterCase->setObjectName(QStringLiteral("meterCase"));
    meterCase->setStyleSheet(QString::fromLatin1(kCaseStyle));

    auto* brand = new QLabel(QStringLiteral("DOI / HAZE METER"), meterCase);
    brand->setObjectName(QStringLiteral("meterBrand"));
    auto* model = new QLabel(QStringLiteral("20\u00b0 \u00b7 2\u00b0 \u00b7 15\u00b0"), meterCase);
    model->setObjectName(QStringLiteral("meterModel"));
    model->setAccessibleName(QStringLiteral("Measuring angles"));
    m_lamp = new QLabel(meterCase);
    m_lamp->setObjectName(QStringLiteral("frontLamp"));
    m_lamp->setAccessibleName(QStringLiteral("Status lamp"));

    auto* header = new QHBoxLayout;
    header->addWidget(brand);
    header->addStretch(1);
    header->addWidget(model);
    header->addSpacing(8);
    header->addWidget(m_lamp);

    m_display = new QLabel(meterCase);
    m_display->setObjectName(QStringLiteral("frontDisplay"));
    m_display->setAccessibleName(QStringLiteral("Meter display"));
    m_display->setTextFormat(Qt::PlainText);
    m_display->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_display->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(mono.pointSizeF() * 1.1);
    mono.setBold(true);
    m_display->setFont(mono);
    const QFontMetrics fm(mono);
    // Four lines of thirty characters, inside the padding and border of the glass: the glass keeps
    // its size whatever the instrument shows (a longer line is cut short on it).
    m_displayWidth = fm.horizontalAdvance(QString(30, QLatin1Char('M')));
    m_display->setFixedSize(m_displayWidth + 30, fm.lineSpacing() * 4 + 30);

    auto* batteryLabel = new QLabel(QStringLiteral("BATT"), meterCase);
    m_battery = new QProgressBar(meterCase);
    m_battery->setObjectName(QStringLiteral("frontBattery"));
    m_battery->setAccessibleName(QStringLiteral("Battery level"));
    m_battery->setRange(0, 100);
    m_battery->setFormat(QStringLiteral("%p%"));
    batteryLabel->setBuddy(m_battery);
    auto* batteryRow = new QHBoxLayout;
    batteryRow->addWidget(batteryLabel);
    batteryRow->addWidget(m_battery, 1);

    m_power = new QPushButton(meterCase);
    m_power->setIcon(PowerSymbol());
    m_power->setIconSize(QSize(22, 22));
    m_power->setObjectName(QStringLiteral("frontPower"));
    m_power->setAccessibleName(QStringLiteral("Power"));
    m_power->setToolTip(QStringLiteral("Switch the meter on or off"));
    m_measure = new QPushButton(QStringLiteral("MEASURE"), meterCase);
    m_measure->setObjectName(QStringLiteral("frontMeasure"));
    m_measure->setAccessibleName(QStringLiteral("Measure"));
    m_measure->setToolTip(QStringLiteral("The meter's own button: take a reading"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_power);
    buttons->addStretch(1);
    buttons->addWidget(m_measure);

    auto* caseLayout = new QVBoxLayout(meterCase);
    caseLayout->setContentsMargins(18, 14, 18, 18);
    caseLayout->setSpacing(12);
    caseLayout->addLayout(header);
    caseLayout->addWidget(m_display);
    caseLayout->addLayout(batteryRow);
    caseLayout->addLayout(buttons);

    auto* bench = new QGroupBox(QStringLiteral("On the bench"), this);
    bench->setObjectName(QStringLiteral("benchGroup"));
    m_sample = new QComboBox(bench);
    m_sample->setObjectName(QStringLiteral("frontSample"));
    m_sample->setAccessibleName(QStringLiteral("Sample under the head"));
    m_sample->addItems(SimulatedMeter::Samples());
    m_charge = new QSpinBox(bench);
    m_charge->setObjectName(QStringLiteral("frontCharge"));
    m_charge->setAccessibleName(QStringLiteral("Battery charge"));
    m_charge->setRange(0, 100);
    m_charge->setSuffix(QStringLiteral(" %"));
    m_cable = new QCheckBox(QStringLiteral("Cable plugged in"), bench);
    m_cable->setObjectName(QStringLiteral("frontCable"));
    m_cable->setToolTip(QStringLiteral("Plug or unplug the meter's cable"));
    auto* form = new QFormLayout(bench);
    form->addRow(QStringLiteral("&Sample under head:"), m_sample);
    form->addRow(QStringLiteral("Battery &charge:"), m_charge);
    form->addRow(QString(), m_cable);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->setSpacing(10);
    outer->addWidget(meterCase);
    outer->addWidget(bench);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_measure, m_power);
    setTabOrder(m_power, m_sample);
    setTabOrder(m_sample, m_charge);
    setTabOrder(m_charge, m_cable);

    connect(m_measure, &QPushButton::clicked, m_meter, &SimulatedMeter::PressMeasureButton);
    connect(m_power, &QPushButton::clicked, m_meter, &SimulatedMeter::PressPowerButton);
    connect(m_sample, &QComboBox::currentIndexChanged, m_meter, &SimulatedMeter::SetSample);
    connect(m_cable, &QCheckBox::toggled, m_meter, &SimulatedMeter::SetCablePlugged);
    connect(m_charge, &QSpinBox::valueChanged, m_meter, &SimulatedMeter::SetBatteryPercent);
    connect(m_meter, &SimulatedMeter::PanelChanged, this, &MeterFrontPanel::Refresh);
    Refresh();
}

void MeterFrontPanel::Refresh()
{
    const bool present = m_meter->Present();
    const bool on = present && m_meter->PoweredOn();
    const QString text = m_meter->DisplayText();

    // Four lines at most, each cut to the glass; the whole text stays in the tooltip.
    const QFontMetrics fm(m_display->font());
    QStringList lines = (present ? text : QStringLiteral("No instrument attached")).split(QLatin1Char('\n')).mid(0, 4);
    for (QString& line : lines) line = fm.elidedText(line, Qt::ElideRight, m_displayWidth);
    m_display->setText(lines.join(QLatin1Char('\n')));
    m_display->setToolTip(on ? text : QString());
    m_display->setAccessibleDescription(on ? text : QStringLiteral("Display off"));
    if (m_display->property("dark").toBool() == on) {
        m_display->setProperty("dark", !on);
        m_display->style()->unpolish(m_display);
        m_display->style()->polish(m_display);
    }

    const int percent = m_meter->BatteryPercent();
    m_battery->setValue(percent);
    const bool low = percent < 15;
    if (m_battery->property("low").toBool() != low) {
        m_battery->setProperty("low", low);
        m_battery->style()->unpolish(m_battery);
        m_battery->style()->polish(m_battery);
    }

    QString lamp = QStringLiteral("#1c1f22");
    QString lampName = QStringLiteral("off");
    if (on && m_meter->Busy()) {
        lamp = QStringLiteral("#f0b429");
        lampName = QStringLiteral("busy");
    } else if (on) {
        lamp = QStringLiteral("#48d16f");
        lampName = QStringLiteral("on");
    }
    m_lamp->setStyleSheet(QStringLiteral("background: %1; border: 1px solid #0d0f11;").arg(lamp));
    m_lamp->setAccessibleDescription(lampName);
    m_lamp->setToolTip(QStringLiteral("Status lamp: %1").arg(lampName));

    {
        const QSignalBlocker a(m_sample), b(m_cable), c(m_charge);
        m_sample->setCurrentIndex(m_meter->Sample());
        m_cable->setChecked(m_meter->CablePlugged());
        if (!m_charge->hasFocus()) m_charge->setValue(percent);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(m_measure), static_cast<QWidget*>(m_power), static_cast<QWidget*>(m_sample),
          static_cast<QWidget*>(m_cable), static_cast<QWidget*>(m_charge)})
        w->setEnabled(present);
}

void MeterFrontPanel::closeEvent(QCloseEvent* event)
{
    emit VisibilityChosen(false);
    QWidget::closeEvent(event);
}

void MeterFrontPanel::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) emit VisibilityChosen(true);
    QWidget::showEvent(event);
}
