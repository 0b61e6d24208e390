#include "resources/GlimoraIcon.h"

#include <QImageReader>
#include <QPixmap>

// A static library's resources are registered by hand: nothing else pulls them into the program.
static void InitGlimoraResources()
{
    Q_INIT_RESOURCE(glimora);
}

QIcon GlimoraIcon()
{
    InitGlimoraResources();
    // Read as PNG without guessing: guessing the format (QIcon::addFile, or a reader left to
    // detect it) has every image format plug-in, SVG among them, loaded at start-up.
    QImageReader reader(QStringLiteral(":/icons/glimora_64.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}
