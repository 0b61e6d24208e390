#pragma once
// Judging readings against the chosen standard: the choice (kept in the settings, section
// "Quality", key "Standard"; empty = no judging), the verdict on the last reading and the counts
// since the choice was made, and the window "Check Against Standard" that shows them.
#include <QObject>
#include <QWidget>
#include <array>
#include <functional>

#include "quality/Verdict.h"

class QComboBox;
class QLabel;
class QTableWidget;
namespace support {
class SettingsStore;
}

namespace quality {

class StandardsLibrary;

class StandardCheck : public QObject {
    Q_OBJECT
public:
    StandardCheck(StandardsLibrary& library, support::SettingsStore& settings, QObject* parent = nullptr);

    // The chosen standard, or nullptr when none is (or the chosen one no longer exists).
    const Standard* Current() const;
    QString CurrentName() const { return m_name; }
    // Chooses a standard by name (empty: none), keeps the choice and starts the counts afresh.
    void Choose(const QString& name);

    // Judges one reading's values against the chosen standard and counts the verdict; a Judgement
    // of None throughout when no standard is chosen.
    Judgement JudgeReading(const std::array<double, kParameterCount>& values);

    const std::array<double, kParameterCount>& LastValues() const { return m_lastValues; }
    const Judgement& LastJudgement() const { return m_last; }
    // Readings judged since the choice, and how many of each verdict.
    int Count(Verdict verdict) const { return m_counts[static_cast<std::size_t>(verdict)]; }
    int Judged() const { return m_counts[1] + m_counts[2] + m_counts[3]; }

    StandardsLibrary& Library() { return m_library; }

signals:
    // The choice or the standards changed.
    void Updated();
    // A reading was judged.
    void ReadingJudged();

private:
    StandardsLibrary& m_library;
    support::SettingsStore& m_settings;
    QString m_name;
    Judgement m_last;
    std::array<double, kParameterCount> m_lastValues{};
    std::array<int, 4> m_counts{};
};

// The window "Check Against Standard": the "Standard:" choice, the last reading's verdict per
// value and overall with the value and its limits, and the counts since the choice. It stays
// beside the main window and follows the check.
class CheckWindow : public QWidget {
    Q_OBJECT
public:
    // digits: the decimals of the number format in force.
    CheckWindow(StandardCheck& check, std::function<int()> digits, QWidget* parent = nullptr);

    QComboBox* cboStandard;
    QTableWidget* tblVerdicts;  // rows: the four values; columns: value, lower, upper, verdict
    QLabel* lblOverall;
    QLabel* lblCounts;

private:
    void RefreshChoice();
    void RefreshVerdict();
    StandardCheck& m_check;
    QString m_shownOverall;
    std::function<int()> m_digits;
};

}  // namespace quality
