#pragma once
// The program's sound sink: the desktop's sound theme through libcanberra (the accepted-reading
// sound and the warning sound as distinct event ids), and the system bell wherever the theme
// cannot play (no sound server, no theme), so that a refused command is never silent.
#include "support/Sounds.h"

struct ca_context;

class DesktopSoundSink : public support::SoundSink {
public:
    DesktopSoundSink();
    ~DesktopSoundSink() override;
    DesktopSoundSink(const DesktopSoundSink&) = delete;
    DesktopSoundSink& operator=(const DesktopSoundSink&) = delete;

    void MessageBeep(support::MessageSound sound) override;
    // QApplication::beep().
    void Beep() override;

private:
    ::ca_context* m_context = nullptr;
};
