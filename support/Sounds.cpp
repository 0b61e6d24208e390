#include "support/Sounds.h"

#include <QApplication>
#include <canberra.h>

namespace support {

DesktopSoundSink::DesktopSoundSink()
{
    if (ca_context_create(&m_context) != CA_SUCCESS) m_context = nullptr;
    else ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Glimora", nullptr);
}

DesktopSoundSink::~DesktopSoundSink()
{
    if (m_context) ca_context_destroy(m_context);
}

void DesktopSoundSink::MessageBeep(int type)
{
    if (!m_context) return;
    const char* id = type == 48 ? "dialog-warning" : "complete";
    const char* description = type == 48 ? "Warning" : "Reading accepted";
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id, CA_PROP_EVENT_DESCRIPTION, description, nullptr);
}

void DesktopSoundSink::Beep()
{
    QApplication::beep();
}

namespace {
SoundSink* g_sink = nullptr;
}

SoundSink& Sounds()
{
    if (!g_sink) {
        static DesktopSoundSink desktop;
        g_sink = &desktop;
    }
    return *g_sink;
}

void SetSounds(SoundSink* sink)
{
    g_sink = sink;
}

}  // namespace support
