#pragma once
// The operator's preferences and password, loaded at start-up and saved at shutdown in the
// "Preferences" section of the settings store.
#include <QString>
#include <cstdint>
#include <functional>

namespace support {
class SettingsStore;
}

struct Preferences {
    int16_t CalIndex = 0;
    bool KeepAlive = false;
    bool NoFile = true;
    bool SoundOn = true;
    bool EnableButton = true;
    bool CalConst = false;
    int16_t Digits = 2;
    bool PixelAvg = true;
    QString Password;
    // True when Password is not empty.
    bool PasswordProtection = false;
};

// The preference half of SetDefaults: the eight preferences, in their order; Password untouched.
void SetPreferenceDefaults(Preferences& prefs);

// Reads every key of "Preferences" from store. When no password is stored, warnNoPassword is
// called (the main window shows the "Password Protection Warning" box there).
void LoadPreferences(const support::SettingsStore& store, Preferences& prefs,
                     const std::function<void()>& warnNoPassword);
// Writes every key of "Preferences" in their order and syncs the store. False when the store
// could not be written (the old file stays whole).
bool SavePreferences(support::SettingsStore& store, const Preferences& prefs);

// XOR with one mask for odd character codes and another for even ones; its own inverse.
QString ScramblePassword(const QString& text);

// The integer and Boolean reading rules of the store.
int16_t ReadSmallInteger(const QString& stored, int16_t low, int16_t high, int16_t fallback);
bool ReadBoolean(const QString& stored);
inline QString BooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
