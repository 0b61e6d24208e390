#pragma once
// The arrows of the menu bar's and the tool bar's extension buttons (shown when the window is
// too narrow for all of their items), read as PNG without guessing their format. The style's
// own icons guess it, and guessing has every image format plug-in (SVG among them) loaded while
// the first window is built. Installs a proxy of the application's style once; nothing else
// of the style, nor the look of the arrows, changes.
void UsePlainExtensionIcons();
