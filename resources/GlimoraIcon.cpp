#include "resources/GlimoraIcon.h"

#include <QPixmap>

// A static library's resources are registered by hand: nothing else pulls them into the program.
static void InitGlimoraResources()
{
    Q_INIT_RESOURCE(glimora);
}

QIcon GlimoraIcon()
{
    InitGlimoraResources();
    // Decoded as PNG by name: a file handed to QIcon is first offered to every icon engine and
    // image format plug-in, which costs the program's start-up the loading of them all.
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/icons/glimora.png"), "PNG"));
    icon.addPixmap(QPixmap(QStringLiteral(":/icons/glimora_64.png"), "PNG"));
    return icon;
}
