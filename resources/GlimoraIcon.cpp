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
    QIcon icon;
    for (const char* path : {":/icons/glimora.png", ":/icons/glimora_64.png"}) {
        QImageReader reader(QLatin1String(path), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}
