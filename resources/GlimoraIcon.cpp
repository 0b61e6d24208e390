#include "resources/GlimoraIcon.h"

// A static library's resources are registered by hand: nothing else pulls them into the program.
static void InitGlimoraResources()
{
    Q_INIT_RESOURCE(glimora);
}

QIcon GlimoraIcon()
{
    InitGlimoraResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/glimora.png"));
    icon.addFile(QStringLiteral(":/icons/glimora_64.png"));
    return icon;
}
