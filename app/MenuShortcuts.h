#pragma once
// Menu shortcuts before a text box's own editing keys: in the main window a menu command's key
// (Ctrl+U, Ctrl+C, Del, the keypad's Del too) runs the command even while the cursor is in a text
// box, as menu accelerators do, and the text stays as typed; the key of a command that is disabled
// just now edits the text as usual.
class QLineEdit;
class QMenuBar;

// Gives the shortcuts of every command under menus (now and later) priority over box's keys.
void GiveMenuShortcutsPriority(QLineEdit* box, QMenuBar* menus);
