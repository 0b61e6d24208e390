#pragma once
// The program's help commands. The help file, Glimora_Help.chm, lives in the program's folder and
// is shown in the program's own help window (HelpViewer), a window of the owner. The object knows
// its file from the moment it is made, so the commands work while the rest of the window is
// still starting. Every failure (file missing, unreadable or damaged, page not in the file)
// leaves the program as it was: no message, no window.
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>

class ChmFile;
class QWidget;
namespace support {
class SettingsStore;
}

class HTMLHelp {
public:
    // The help of the program in programFolder, shown in a window owned by owner; the window's
    // place is kept in the store when one is given (it must live as long as the owner).
    HTMLHelp(QWidget* owner, const QString& programFolder, support::SettingsStore* store = nullptr);

    // The help file of a program folder: the folder followed by "/Glimora_Help.chm".
    static QString HelpFilePath(const QString& programFolder);

    // Registers the program's help file.
    void SetHelpFile(const QString& programFolder);

    // Opens the help window at the file's first page with its table of contents.
    void ShowHelpContents();
    // Opens the help window at a page of the file; backslashes count as slashes
    // ("KALDEX\Contact_KALDEX.htm").
    void ShowHelpTopic(const QString& topicPath);
    // Opens the help window at the page that the file maps to the help context number.
    void ShowHelpContext(int32_t context);

private:
    void Show(const std::function<QString(const ChmFile&)>& pickTopic);

    QPointer<QWidget> m_owner;
    QString m_helpFile;
    support::SettingsStore* m_store = nullptr;
};
