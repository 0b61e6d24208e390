#include "meter/StatusDisplay.h"

#include <QLabel>
#include <QStatusBar>

#include "vantrel/VantrelCntl.h"

StatusDisplay::StatusDisplay(QStatusBar* SB, VantrelCntl& VC, std::function<void()> updateCommands, QObject* parent)
    : QObject(parent)
    , m_vc(VC)
    , m_updateCommands(std::move(updateCommands))
{
    static const char* const tips[5] = {"Serial Number of Haze Meter", "Software Version of Haze Meter",
                                        "Battery Status of Haze Meter", "Current Status of Haze Meter",
                                        "Reading errors"};
    static const int stretch[5] = {2, 2, 2, 3, 4};
    SB->setSizeGripEnabled(true);
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(SB);
        label->setObjectName(QStringLiteral("SBPanel%1").arg(i + 1));
        label->setToolTip(QLatin1String(tips[i]));
        label->setAccessibleDescription(QLatin1String(tips[i]));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(90);
        label->setContentsMargins(4, 0, 4, 0);
        SB->addWidget(label, stretch[i]);
        m_panels[static_cast<std::size_t>(i)] = label;
    }
    Timer1.setParent(this);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    Timer1.setInterval(9000);
    connect(&Timer1, &QTimer::timeout, this, [this] {
        Timer1.stop();
        SetPanel(5, QString());
    });
}

void StatusDisplay::SetPanel(int panel, const QString& text)
{
    QLabel* label = m_panels[static_cast<std::size_t>(panel - 1)];
    label->setText(text);
    label->setAccessibleName(text);
}

void StatusDisplay::ShowMeterStatus()
{
    m_meterOn = true;
    QString activity;
    if (!m_vc.Connected()) {
        m_meterOn = false;
        activity = QStringLiteral("No haze meter found");
    } else {
        switch (m_vc.MeterState()) {
        case VantrelCntl::State::GettingParameters:
            activity = QStringLiteral("Getting parameters");
            m_meterBusy = true;
            break;
        case VantrelCntl::State::Waiting:
            activity = m_meterBusy ? QStringLiteral("Busy gathering data") : QStringLiteral("Waiting for commands");
            break;
        case VantrelCntl::State::Off:
            activity = QStringLiteral("Haze meter is off");
            m_meterBusy = true;
            m_meterOn = false;
            break;
        case VantrelCntl::State::Scanning:
            activity = QStringLiteral("Actively scanning");
            m_meterBusy = true;
            break;
        case VantrelCntl::State::Correcting:
            activity = QStringLiteral("Running correction algorithms");
            m_meterBusy = true;
            break;
        default:
            activity = QStringLiteral("Unknown");
            m_meterBusy = true;
            break;
        }
    }
    SetPanel(4, activity);

    QString battery = QStringLiteral("Battery: ---");
    if (m_meterOn) {
        const int32_t state = m_vc.BatteryState();
        if (state == VantrelCntl::Battery::Low) battery = QStringLiteral("Battery: Low");
        else if (state == VantrelCntl::Battery::Ok) battery = QStringLiteral("Battery: Ok");
    }
    SetPanel(3, battery);
    SetPanel(2, QStringLiteral("Version: ") + m_vc.Version());
    SetPanel(1, QStringLiteral("S/N: ") + m_vc.SerialNumber());
    if (m_updateCommands) m_updateCommands();
}

void StatusDisplay::ShowReadingMessage(const MeterReading& CurrentReading)
{
    Timer1.stop();
    if (CurrentReading.HasMessage()) SetPanel(5, CurrentReading.Message());
    else SetPanel(5, QString::number(m_vc.Center()) + QStringLiteral(", ") + QString::number(m_vc.DutyCycle()));
    Timer1.start();
}

void StatusDisplay::ClearReadingMessage()
{
    SetPanel(5, QString());
}
