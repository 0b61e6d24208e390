#pragma once
// A sound sink for tests: records every sound, the message sounds by their numbers (0, 48) and
// the standard beep as -1.
#include <QList>

#include "support/Sounds.h"

struct RecordingSoundSink : support::SoundSink {
    void MessageBeep(support::MessageSound sound) override { sounds.append(static_cast<int>(sound)); }
    void Beep() override { sounds.append(-1); }
    QList<int> sounds;
};
