#pragma once
// An ordered list of up to 40 tab-stop positions in twips (1/1440 inch), measured from the left
// edge of the text. A position of 0 means the slot holds no stop. A plain value.
#include <QList>
#include <QString>
#include <cstdint>

class QTextCursor;
namespace support {
class SettingsStore;
}

class TabClass {
public:
    static constexpr int kMaxTabs = 40;
    static constexpr int32_t kMaxPosition = 99999;

    // Loads the list from section thisPref of the application's settings store thisApp.
    void ReadProperties(const support::SettingsStore& thisApp, const QString& thisPref);
    // Saves "TabCount" and "Tab1".."TabN" and writes the store to disk; false when the file
    // could not be written. Keys of higher slots from an earlier, longer list are left alone.
    bool WriteProperties(support::SettingsStore& thisApp, const QString& thisPref) const;

    // Sets the stops on the paragraphs of the box's selection; with AllText the whole text is
    // selected first. An empty list removes every stop. A slot of 0 keeps the stop that the
    // paragraph had at that index. Null: nothing.
    void InstallTabs(QTextCursor* Box, bool AllText) const;

    // Slot indx counts from 1; 0 for a slot outside the list.
    int32_t Tabs(int indx) const;
    // Stored only for a slot inside the list and a value of 0..99999.
    void SetTabs(int indx, int32_t value);
    // Every position becomes 0; the count stays.
    void Clear();
    // Fills the first empty slot, or appends one while fewer than 40 are in use. Values outside
    // 0..99999 and values beyond the 40th slot are dropped.
    void Add(int32_t value);
    // Copies the count and the positions into TB. Null: nothing.
    void CopyTo(TabClass* TB) const;

    int16_t TabCount() const { return static_cast<int16_t>(m_tabs.size()); }
    // Accepted for 0..40: the list becomes that many empty slots.
    void SetTabCount(int value);

private:
    QList<int32_t> m_tabs;
};
