#include "app/ExtensionIcons.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <array>

namespace {

class PlainExtensionIconStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override
    {
        const bool rightToLeft =
            (option ? option->direction : (widget ? widget->layoutDirection() : QGuiApplication::layoutDirection()))
            == Qt::RightToLeft;
        QIcon* icon = nullptr;
        QString prefix;
        if (which == SP_ToolBarHorizontalExtensionButton) {
            icon = &m_icons[rightToLeft ? 1 : 0];
            prefix = rightToLeft ? QStringLiteral("toolbar-ext-h-rtl-") : QStringLiteral("toolbar-ext-h-");
        } else if (which == SP_ToolBarVerticalExtensionButton) {
            icon = &m_icons[2];
            prefix = QStringLiteral("toolbar-ext-v-");
        }
        if (!icon) return QProxyStyle::standardIcon(which, option, widget);
        if (icon->isNull()) *icon = ReadArrows(prefix);
        // Without the pictures (another Qt build) the style's own icon stands.
        return icon->isNull() ? QProxyStyle::standardIcon(which, option, widget) : *icon;
    }

private:
    // Every size of one arrow that the style's resources hold ("toolbar-ext-h-16.png", ...).
    static QIcon ReadArrows(const QString& prefix)
    {
        const QDir folder(QStringLiteral(":/qt-project.org/styles/commonstyle/images"));
        QIcon icon;
        for (const QString& name : folder.entryList({prefix + QStringLiteral("*.png")}, QDir::Files)) {
            // "toolbar-ext-h-16.png" names the horizontal arrow, not its right-to-left sibling.
            if (!name.mid(prefix.size()).front().isDigit()) continue;
            QImageReader reader(folder.filePath(name), "png");
            reader.setAutoDetectImageFormat(false);
            const QImage image = reader.read();
            if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
        }
        return icon;
    }

    mutable std::array<QIcon, 3> m_icons;  // horizontal, horizontal right to left, vertical
};

}  // namespace

void UsePlainExtensionIcons()
{
    if (dynamic_cast<PlainExtensionIconStyle*>(QApplication::style())) return;
    // A new instance of the style in use (the one chosen with -style or QT_STYLE_OVERRIDE too):
    // the application deletes its old style when it takes the new one.
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    QApplication::setStyle(new PlainExtensionIconStyle(base));
}
