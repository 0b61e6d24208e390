#pragma once
// The link to the meter over its whole life: the meter control (kept in a MeterSlot when the
// operator may change it), the stage of start-up, and the preferences the meter mirrors. The
// meter is handed those preferences at every link, the first one at start-up, a late one, one
// after the cable was pulled and one to another meter control, before the window counts it as
// linked; they are read back only from a meter that was handed them.
//
// The window listens to this object instead of the control: MeterEvent passes every event of
// the control on after the link has done its own part.
#include <QObject>
#include <functional>

struct Preferences;
class VantrelCntl;

class MeterLink : public QObject {
    Q_OBJECT
public:
    // Takes the control as its own. prefs is the window's record, read at every hand-over and
    // written by ReadBack.
    MeterLink(VantrelCntl* control, Preferences& prefs, QObject* parent = nullptr);

    VantrelCntl* Control() const { return m_control; }
    // Opened and not yet closed.
    bool IsOpen() const
    {
        return m_stage == Stage::Starting || m_stage == Stage::Running || m_stage == Stage::Changing;
    }
    bool NeverOpened() const { return m_stage == Stage::Created; }

    // Opens the link once; returns while the handshake runs. Its end (linked or not) hands the
    // meter the preferences and raises StartupLinked.
    void Open();
    // The cal standard and keep-alive of a meter that was handed the preferences, into them.
    void ReadBack();
    // Closes the link for good.
    void Close();
    // Another meter control in place of this one: the old one gives its values back and is
    // closed, the new one (made by make) is opened; false when this link holds a fixed control.
    bool ChangeControl(const std::function<VantrelCntl*()>& make);

signals:
    // Every event of the control, after the link's own handling.
    void MeterEvent(int code);
    // The first handshake has ended and the meter has its preferences: the rest of start-up.
    void StartupLinked();
    // A link begins afresh (a meter linked late or again, or another control): what was known of
    // the meter's work no longer holds.
    void FreshLink();

private:
    enum class Stage { Created, Starting, Running, Changing, Closed };

    void OnControlEvent(int code);
    void FinishStartupWhenLinked();
    void HandOver();

    VantrelCntl* m_control;
    Preferences& m_prefs;
    Stage m_stage = Stage::Created;
    bool m_linked = false;  // the control was linked at its latest link event
    bool m_handed = false;  // a linked meter was handed the preferences
};
