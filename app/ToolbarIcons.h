#pragma once
// The toolbar's pictures, drawn once at start-up (no icon theme look-ups on the way to the
// first window).
#include <QIcon>
#include <QString>

// An icon for a toolbar key ("Exit", "Open", "Cancel", "Off", "Read", "Scan", "Calibrate",
// "Print", "Clear"); an empty icon for any other key.
QIcon ToolbarIcon(const QString& key);
