#include "PaneBundle.h"

std::string PaneBundleIdentifier() {
    return HALVORIN_PANE_BUNDLE_IDENTIFIER;
}

QPixmap PaneBundleImage(const QString& name, const QString& type) {
    // The pictures are drawn at twice their size, for scale-2 screens.
    QPixmap picture(QStringLiteral(":/OrvandelPane/%1.%2").arg(name, type));
    picture.setDevicePixelRatio(2.0);
    return picture;
}
