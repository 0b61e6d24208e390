#include "printing/TabClass.h"

#include "printing/RichText.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"

#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>

namespace {

QString SlotKey(int slot)
{
    return QStringLiteral("Tab") + QString::number(slot);
}

// A stored number inside low..high, rounded half to even; any other value (text that is not a
// number reads as 0) gives 0.
int32_t StoredInRange(const QString& text, int32_t low, int32_t high)
{
    const double v = support::StoredNumber(text);
    if (v < low || v > high) return 0;
    return static_cast<int32_t>(support::RoundHalfEven(v));
}

}  // namespace

void TabClass::ReadProperties(const support::SettingsStore& thisApp, const QString& thisPref)
{
    const support::SettingsStore& store = thisApp;
    const int count =
        StoredInRange(store.GetSetting(thisPref, QStringLiteral("TabCount"), QString::number(TabCount())), 0, kMaxTabs);
    // The positions already held stay in the slots that remain.
    m_tabs.resize(count, 0);
    for (int i = 1; i <= count; ++i)
        m_tabs[i - 1] =
            StoredInRange(store.GetSetting(thisPref, SlotKey(i), QString::number(m_tabs[i - 1])), 0, kMaxPosition);
}

bool TabClass::WriteProperties(support::SettingsStore& thisApp, const QString& thisPref) const
{
    support::SettingsStore& store = thisApp;
    store.SaveSetting(thisPref, QStringLiteral("TabCount"), QString::number(TabCount()));
    for (int i = 1; i <= TabCount(); ++i) store.SaveSetting(thisPref, SlotKey(i), QString::number(m_tabs[i - 1]));
    return store.Sync();
}

void TabClass::InstallTabs(QTextCursor* Box, bool AllText) const
{
    if (!Box || Box->isNull()) return;
    QTextDocument* doc = Box->document();
    if (!doc) return;
    if (AllText) printing::SelectRange(*Box, 0, 999999);

    const QTextBlock first = doc->findBlock(Box->selectionStart());
    const QTextBlock last = doc->findBlock(Box->selectionEnd());
    if (!first.isValid()) return;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        QTextBlockFormat fmt = b.blockFormat();
        QList<QTextOption::Tab> stops;
        if (!m_tabs.isEmpty()) {
            const QList<QTextOption::Tab> old = fmt.tabPositions();
            for (int i = 0; i < m_tabs.size(); ++i) {
                if (m_tabs[i] > 0)
                    stops.append(QTextOption::Tab(printing::TwipsToUnits(m_tabs[i]), QTextOption::LeftTab));
                else if (i < old.size() && old[i].position > 0) stops.append(old[i]);
            }
            // The layout takes the first stop right of the pen in list order, so keep them sorted.
            std::stable_sort(stops.begin(), stops.end(), [](const QTextOption::Tab& a, const QTextOption::Tab& b) {
                return a.position < b.position;
            });
        }
        fmt.setTabPositions(stops);
        QTextCursor(b).setBlockFormat(fmt);
        if (b == last) break;
    }
}

int32_t TabClass::Tabs(int indx) const
{
    if (indx < 1 || indx > kMaxTabs || indx > TabCount()) return 0;
    return m_tabs[indx - 1];
}

void TabClass::SetTabs(int indx, int32_t value)
{
    if (indx < 1 || indx > kMaxTabs || indx > TabCount()) return;
    if (value < 0 || value > kMaxPosition) return;
    m_tabs[indx - 1] = value;
}

void TabClass::Clear()
{
    std::fill(m_tabs.begin(), m_tabs.end(), 0);
}

void TabClass::Add(int32_t value)
{
    if (value < 0 || value > kMaxPosition) return;
    for (int32_t& slot : m_tabs) {
        if (slot == 0) {
            slot = value;
            return;
        }
    }
    if (m_tabs.size() < kMaxTabs) m_tabs.append(value);
}

void TabClass::CopyTo(TabClass* TB) const
{
    if (!TB || TB == this) return;
    TB->SetTabCount(TabCount());
    for (int i = 1; i <= TabCount(); ++i) TB->SetTabs(i, Tabs(i));
}

void TabClass::SetTabCount(int value)
{
    if (value < 0 || value > kMaxTabs) return;
    m_tabs.fill(0, value);
}
