#include "app/DesktopSounds.h"

#include <QApplication>
#include <canberra.h>

DesktopSoundSink::DesktopSoundSink()
{
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Glimora", nullptr);
}

DesktopSoundSink::~DesktopSoundSink()
{
    if (m_context) ca_context_destroy(m_context);
}

void DesktopSoundSink::MessageBeep(support::MessageSound sound)
{
    const bool warning = sound == support::MessageSound::Warning;
    const char* id = warning ? "dialog-warning" : "complete";
    const char* description = warning ? "Warning" : "Reading accepted";
    // ca_context_play connects to the sound server on first use and reports when it cannot.
    if (m_context
        && ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id, CA_PROP_EVENT_DESCRIPTION, description, nullptr)
            == CA_SUCCESS)
        return;
    Beep();
}

void DesktopSoundSink::Beep()
{
    QApplication::beep();
}
