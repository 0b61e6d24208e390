#pragma once
// The application's icon for the main window, the About box and the help window: the 64 pixel
// picture (scaled down by Qt for smaller uses). Larger views (a high-density task switcher) take
// the 256 pixel picture installed in the icon theme, which the desktop finds through the
// program's .desktop entry; decoding and handing that one to the window system at every start
// would cost more than the rest of the icons together.
#include <QIcon>

QIcon GlimoraIcon();
