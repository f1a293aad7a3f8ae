#pragma once

#include <QPixmap>
#include <QString>
#include <string>

// The pane's bundle: its identifier (which also names its user-defaults
// domain) and its resources, compiled into the pane's library.
std::string PaneBundleIdentifier();
// The picture resource of that name and type; a null pixmap when there is none.
QPixmap PaneBundleImage(const QString& name, const QString& type);
