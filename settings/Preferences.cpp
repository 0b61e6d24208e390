#include "settings/Preferences.h"

#include "support/Numbers.h"
#include "support/SettingsStore.h"

namespace {
const QString kSection = QStringLiteral("Preferences");
constexpr int kOddMask = 0x0A;  // applied to odd character codes
constexpr int kEvenMask = 0x14;  // applied to even character codes
}  // namespace

void SetPreferenceDefaults(Preferences& prefs)
{
    prefs.CalIndex = 0;
    prefs.KeepAlive = false;
    prefs.PixelAvg = true;
    prefs.CalConst = false;
    prefs.SoundOn = true;
    prefs.Digits = 2;
    prefs.NoFile = true;
    prefs.EnableButton = true;
}

int16_t ReadSmallInteger(const QString& stored, int16_t low, int16_t high, int16_t fallback)
{
    const double v = support::LeadingNumber(stored);
    if (v >= low && v <= high) return static_cast<int16_t>(support::RoundHalfEven(v));
    return fallback;
}

bool ReadBoolean(const QString& stored)
{
    return stored == QLatin1String("True");
}

QString ScramblePassword(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    QByteArray out(bytes.size(), '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        const int code = static_cast<unsigned char>(bytes[i]);
        out[i] = static_cast<char>(code ^ ((code & 1) ? kOddMask : kEvenMask));
    }
    return QString::fromLatin1(out);
}

void LoadPreferences(const support::SettingsStore& store, Preferences& prefs,
                     const std::function<void()>& warnNoPassword)
{
    auto get = [&](const char* key, const char* def) {
        return store.GetSetting(kSection, QLatin1String(key), QLatin1String(def));
    };

    prefs.CalIndex = ReadSmallInteger(get("CalIndex", "0"), 0, 3, 0);
    prefs.KeepAlive = ReadBoolean(get("KeepAlive", "True"));
    prefs.NoFile = ReadBoolean(get("NoFile", "True"));
    prefs.SoundOn = ReadBoolean(get("SoundOn", "True"));
    prefs.EnableButton = ReadBoolean(get("EnableButton", "True"));
    prefs.CalConst = ReadBoolean(get("CalConst", "False"));
    prefs.Digits = ReadSmallInteger(get("Digits", "2"), 0, 3, 2);
    prefs.PixelAvg = ReadBoolean(get("PixelAvg", "True"));
    const QString stored = get("Password", "");
    prefs.Password = stored.isEmpty() ? QString() : ScramblePassword(stored);

    prefs.PasswordProtection = !prefs.Password.isEmpty();
    if (!prefs.PasswordProtection && warnNoPassword) warnNoPassword();
}

bool SavePreferences(support::SettingsStore& store, const Preferences& prefs)
{
    auto put = [&](const char* key, const QString& value) { store.SaveSetting(kSection, QLatin1String(key), value); };
    put("CalIndex", QString::number(prefs.CalIndex));
    put("KeepAlive", BooleanText(prefs.KeepAlive));
    put("NoFile", BooleanText(prefs.NoFile));
    put("SoundOn", BooleanText(prefs.SoundOn));
    put("Digits", QString::number(prefs.Digits));
    put("EnableButton", BooleanText(prefs.EnableButton));
    put("CalConst", BooleanText(prefs.CalConst));
    put("PixelAvg", BooleanText(prefs.PixelAvg));
    put("Password", ScramblePassword(prefs.Password));
    return store.Sync();
}
