#include "app/MenuShortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

// The enabled command under the menus whose shortcut was typed, if any.
QAction* CommandFor(const QList<QAction*>& actions, const QKeySequence& typed)
{
    for (QAction* a : actions) {
        if (a->isSeparator() || !a->isEnabled()) continue;
        if (QMenu* sub = a->menu()) {
            if (QAction* found = CommandFor(sub->actions(), typed)) return found;
        } else if (a->shortcuts().contains(typed)) {
            return a;
        }
    }
    return nullptr;
}

class MenuShortcutsFirst : public QObject {
public:
    MenuShortcutsFirst(QLineEdit* box, QMenuBar* menus)
        : QObject(box)
        , m_menus(menus)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && m_menus) {
            auto* key = static_cast<QKeyEvent*>(event);
            // The keypad's keys are the same commands as their twins (its Del is Delete Selection).
            const QKeySequence typed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
            if (QAction* command = CommandFor(m_menus->actions(), typed)) {
                // Not claimed by the box: the command runs. A key of a disabled command edits the
                // text as usual.
                if (type == QEvent::KeyPress) command->trigger();
                event->accept();
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
