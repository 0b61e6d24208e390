#pragma once
// The program's help commands. The help file, Glimora_Help.chm, lives in the program's folder and
// is shown in the program's own help window (HelpViewer), a window owned by the main window.
// Every failure (no file registered, file missing, unreadable or damaged, page not in the file)
// leaves the program as it was: no message, no window.
#include <QString>
#include <cstdint>

class QWidget;

namespace HTMLHelp {

// The help file of a program folder: the folder followed by "/Glimora_Help.chm".
QString HelpFilePath(const QString& programFolder);

// Registers the program's help file and the window that owns the help window. Called once, at
// the end of loading the main window.
void SetHelpFile(QWidget* owner, const QString& programFolder);
// The registered help file (empty before SetHelpFile).
QString HelpFile();

// Opens the help window at the file's first page with its table of contents.
void ShowHelpContents();
// Opens the help window at a page of the file; backslashes count as slashes
// ("KALDEX\Contact_KALDEX.htm").
void ShowHelpTopic(const QString& topicPath);
// Opens the help window at the page that the file maps to the help context number.
void ShowHelpContext(int32_t context);

}  // namespace HTMLHelp
