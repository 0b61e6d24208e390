#pragma once
// The application's sounds: MessageBeep(0) for an accepted reading, MessageBeep(48) for a
// warning, and the standard beep of key filters.
#include <QList>

struct ca_context;

namespace support {

class SoundSink {
public:
    virtual ~SoundSink() = default;
    // 0: accepted reading; 48: the exclamation (warning) sound.
    virtual void MessageBeep(int type) = 0;
    // The standard system beep.
    virtual void Beep() = 0;
};

// The desktop's sound theme through libcanberra; silent where there is no sound server.
class DesktopSoundSink : public SoundSink {
public:
    DesktopSoundSink();
    ~DesktopSoundSink() override;
    DesktopSoundSink(const DesktopSoundSink&) = delete;
    DesktopSoundSink& operator=(const DesktopSoundSink&) = delete;
    void MessageBeep(int type) override;
    void Beep() override;

private:
    ::ca_context* m_context = nullptr;
};

// Records every sound, for tests. Beep() is recorded as -1.
class RecordingSoundSink : public SoundSink {
public:
    void MessageBeep(int type) override { sounds.append(type); }
    void Beep() override { sounds.append(-1); }
    QList<int> sounds;
};

// The sink the program uses; tests replace it with a RecordingSoundSink.
SoundSink& Sounds();
void SetSounds(SoundSink* sink);

}  // namespace support
