#pragma once
// How the program's windows open: inside the part of the screen that windows may use, where the
// operator left them the last time (section [Windows] of the settings store), with the focus on
// the first control of their tab order; a window of its own closes with Escape.
#include <QRect>
#include <QString>

class QWidget;
namespace support {
class SettingsStore;
}

// The rectangle moved, and shrunk where it must be, so that it lies inside `available`.
QRect FittedInto(const QRect& wanted, const QRect& available);

// Moves and shrinks a top-level window, its frame included, into the available area of the
// screen it is on (the primary screen before it is shown).
void FitIntoScreen(QWidget* window);

// Puts the window where it was left under `key` of [Windows] (fitted into the screen), or fits
// its present size into the screen when nothing is stored, and from then on keeps its place and
// size there each time the window goes. The store is written in memory only (and saved with the
// rest of the settings): the window must be closed or destroyed while the store still exists.
void KeepWindowPlace(QWidget* window, support::SettingsStore& store, const QString& key);
// "x y width height" as kept in [Windows]; an empty rectangle for any other text.
QRect PlaceFromText(const QString& text);
QString PlaceText(const QRect& place);

// Escape closes the window (a window of its own, not a dialog, which closes on Escape anyway).
void CloseOnEscape(QWidget* window);

// The focus goes, when the window opens, to `first` or, when that cannot take it (disabled,
// hidden, not a tab stop), to the next control of the tab order that can.
void OpenOnFirstControl(QWidget* first);
