#pragma once
// The application's icon, in 256 and 64 pixels, for the main window, the About box and the help
// window.
#include <QIcon>

QIcon GlimoraIcon();
