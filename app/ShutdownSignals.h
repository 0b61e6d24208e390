#pragma once
// Ends the program as its Exit command does when the system asks it to: SIGTERM (kill, a
// shutdown), SIGINT (Ctrl+C in a terminal), SIGHUP (the terminal closed) or a desktop logout
// through the session manager. Nothing is done inside the signal handler: it writes one byte
// to a socket pair, and the event loop reads it and closes the main window, which saves and
// closes everything in its usual order.
#include <QObject>

class QSocketNotifier;
class QWidget;

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for the window given; one instance at a time.
    explicit ShutdownSignals(QWidget& window, QObject* parent = nullptr);
    // Gives the three signals their default action back.
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // Closes any open menu or dialog first (as its Esc or close box would, so the command behind
    // it ends), then the main window.
    void CloseWindow();

private:
    void ReadSignals();

    QWidget& m_window;
    QSocketNotifier* m_notifier = nullptr;
};
