#pragma once
// The application's sounds go through one sink that the program installs at start-up: the two
// message sounds (an accepted reading, the warning) and the standard beep of key filters.
// Without an installed sink the program is silent.

namespace support {

// The two message sounds, by the numbers the instrument's tradition gives them.
enum class MessageSound : int {
    ReadingAccepted = 0,
    Warning = 48,
};

class SoundSink {
public:
    virtual ~SoundSink() = default;
    virtual void MessageBeep(MessageSound sound) = 0;
    // The standard system beep.
    virtual void Beep() = 0;
};

// The installed sink (a silent one when none is installed).
SoundSink& Sounds();
// Installs the sink the program's sounds go to; nullptr for silence. The caller keeps ownership.
void SetSounds(SoundSink* sink);

}  // namespace support
