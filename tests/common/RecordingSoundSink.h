#pragma once
// A sound sink for tests: records every sound, the message sounds by their numbers and the
// standard beep as StandardBeep.
#include <QList>

#include "support/Sounds.h"

struct RecordingSoundSink : support::SoundSink {
    static constexpr int Accepted = static_cast<int>(support::MessageSound::ReadingAccepted);
    static constexpr int Warning = static_cast<int>(support::MessageSound::Warning);
    static constexpr int StandardBeep = -1;

    void MessageBeep(support::MessageSound sound) override { sounds.append(static_cast<int>(sound)); }
    void Beep() override { sounds.append(StandardBeep); }
    QList<int> sounds;
};
