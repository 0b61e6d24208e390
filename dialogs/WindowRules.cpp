#include "dialogs/WindowRules.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "support/SettingsStore.h"

namespace {
const QString kSection = QStringLiteral("Windows");

// Writes the window's place into the store when the window goes (closed, or hidden with its owner).
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget* window, support::SettingsStore& store, const QString& key)
        : QObject(window)
        , m_window(window)
        , m_store(store)
        , m_key(key)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Only a window in its normal state has a place worth keeping.
        if (watched == m_window && event->type() == QEvent::Hide
            && !(m_window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
            const QString text = PlaceText(QRect(m_window->pos(), m_window->size()));
            if (m_store.GetSetting(kSection, m_key) != text) m_store.SaveSetting(kSection, m_key, text);
        }
        return false;
    }

private:
    QWidget* m_window;
    support::SettingsStore& m_store;
    QString m_key;
};
}  // namespace

QRect FittedInto(const QRect& wanted, const QRect& available)
{
    if (!available.isValid()) return wanted;
    QRect r(wanted.topLeft(),
            QSize(std::min(wanted.width(), available.width()), std::min(wanted.height(), available.height())));
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

void FitIntoScreen(QWidget* window)
{
    // A window not yet shown has no frame: room for a title bar and borders is kept free.
    const QMargins frame = window->isVisible()
        ? QMargins(window->geometry().left() - window->frameGeometry().left(),
                   window->geometry().top() - window->frameGeometry().top(),
                   window->frameGeometry().right() - window->geometry().right(),
                   window->frameGeometry().bottom() - window->geometry().bottom())
        : QMargins(4, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + 8, 4, 4);
    const QRect outer(window->pos(), window->size().grownBy(frame));
    QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (!screen) screen = window->screen();
    if (!screen) return;
    const QRect fitted = FittedInto(outer, screen->availableGeometry());
    window->resize(fitted.size().shrunkBy(frame).expandedTo(window->minimumSize()));
    // A window that the program did not place itself is left to the desktop to place.
    if (window->isVisible() || window->testAttribute(Qt::WA_Moved)) window->move(fitted.topLeft());
}

QRect PlaceFromText(const QString& text)
{
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() != 4) return {};
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts.at(i).toInt(&ok);
        if (!ok) return {};
    }
    return v[2] > 0 && v[3] > 0 ? QRect(v[0], v[1], v[2], v[3]) : QRect();
}

QString PlaceText(const QRect& place)
{
    return QStringLiteral("%1 %2 %3 %4").arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height());
}

void KeepWindowPlace(QWidget* window, support::SettingsStore& store, const QString& key)
{
    const QRect stored = PlaceFromText(store.GetSetting(kSection, key));
    if (stored.isValid()) {
        window->resize(stored.size());
        window->move(stored.topLeft());
    }
    FitIntoScreen(window);
    window->installEventFilter(new PlaceKeeper(window, store, key));
}

void CloseOnEscape(QWidget* window)
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void OpenOnFirstControl(QWidget* first)
{
    QWidget* w = first;
    do {
        if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(first->window())
            && w != first->window()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        w = w->nextInFocusChain();
    } while (w && w != first);
}
