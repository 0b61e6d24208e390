#include "support/Sounds.h"

namespace support {

namespace {
class SilentSink : public SoundSink {
public:
    void MessageBeep(MessageSound) override {}
    void Beep() override {}
};

SoundSink* g_sink = nullptr;
}  // namespace

SoundSink& Sounds()
{
    static SilentSink silent;
    return g_sink ? *g_sink : silent;
}

void SetSounds(SoundSink* sink)
{
    g_sink = sink;
}

}  // namespace support
