#include "app/MenuShortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

bool HasShortcut(const QList<QAction*>& actions, const QKeySequence& typed)
{
    for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        if (QMenu* sub = a->menu()) {
            if (HasShortcut(sub->actions(), typed)) return true;
        } else if (a->shortcuts().contains(typed)) {
            return true;
        }
    }
    return false;
}

class MenuShortcutsFirst : public QObject {
public:
    MenuShortcutsFirst(QLineEdit* box, QMenuBar* menus)
        : QObject(box), m_menus(menus)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && m_menus) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence typed(key->keyCombination());
            if (HasShortcut(m_menus->actions(), typed)) {
                // Not claimed by the box: the menu's shortcut runs. A key of a command that is
                // disabled just now reaches the box as a key press, and does nothing there either.
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QMenuBar> m_menus;
};

}  // namespace

void GiveMenuShortcutsPriority(QLineEdit* box, QMenuBar* menus)
{
    box->installEventFilter(new MenuShortcutsFirst(box, menus));
}
