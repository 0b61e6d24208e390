#include "app/MeterLink.h"

#include "metercontrols/MeterSlot.h"
#include "settings/Preferences.h"
#include "vantrel/VantrelCntl.h"

MeterLink::MeterLink(VantrelCntl* control, Preferences& prefs, QObject* parent)
    : QObject(parent)
    , m_control(control)
    , m_prefs(prefs)
{
    m_control->setParent(this);
    connect(m_control, &VantrelCntl::MeterEvent, this, &MeterLink::OnControlEvent);
}

void MeterLink::Open()
{
    if (m_stage != Stage::Created) return;
    m_stage = Stage::Starting;
    m_control->SetConnected(true);
    FinishStartupWhenLinked();
}

void MeterLink::OnControlEvent(int code)
{
    if (m_stage == Stage::Running && code == VantrelCntl::Event::LinkChanged) {
        // A meter that links late or again gets the preferences before the window sees it linked.
        const bool linked = m_control->Connected();
        const bool fresh = linked && !m_linked;
        m_linked = linked;
        if (fresh) {
            HandOver();
            emit FreshLink();
        }
    }
    // While start-up waits for the handshake, the events are handled as usual; the end of the
    // handshake is reported by an event too.
    emit MeterEvent(code);
    FinishStartupWhenLinked();
}

void MeterLink::FinishStartupWhenLinked()
{
    if (m_stage != Stage::Starting || m_control->ConnectState() == VantrelCntl::Connecting) return;
    m_stage = Stage::Running;
    m_linked = m_control->Connected();
    HandOver();
    emit StartupLinked();
}

void MeterLink::HandOver()
{
    m_control->SetCalIndex(m_prefs.CalIndex);
    m_control->SetKeepAlive(m_prefs.KeepAlive);
    m_control->SetEnableButton(m_prefs.EnableButton);
    m_control->SetConstDC(m_prefs.CalConst);
    // A control without a meter on the line drops what it is handed: nothing of it comes back.
    m_handed = m_control->Connected();
}

void MeterLink::ReadBack()
{
    if (!m_handed) return;
    m_prefs.CalIndex = m_control->CalIndex();
    m_prefs.KeepAlive = m_control->KeepAlive();
}

void MeterLink::Close()
{
    if (!IsOpen()) return;
    m_stage = Stage::Closed;
    m_control->SetConnected(false);
}

bool MeterLink::ChangeControl(const std::function<VantrelCntl*()>& make)
{
    auto* slot = qobject_cast<MeterSlot*>(m_control);
    if (!slot || !IsOpen() || m_stage == Stage::Changing) return false;
    // Closed as at shutdown; a change during the first handshake still finishes the whole
    // start-up on the new meter.
    const Stage next = m_stage == Stage::Starting ? Stage::Starting : Stage::Running;
    ReadBack();
    m_stage = Stage::Changing;
    m_control->SetConnected(false);
    slot->Replace(make());
    m_handed = m_linked = false;
    emit FreshLink();
    // Opened as at start-up: the new control's link event hands it the preferences.
    m_stage = next;
    m_control->SetConnected(true);
    FinishStartupWhenLinked();
    return true;
}
