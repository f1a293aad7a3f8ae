// A Qt generic plugin that the display tests load into the real Preferences
// host (QT_QPA_GENERIC_PLUGINS=paneprobe:<socket path>). It answers, one line
// per question on a local socket, what only the host's own widgets know: where
// a control is, what it shows, which has the focus, which caption is clipped.
// It never acts on the pane: every input comes through the display server.
//
// Widgets are named by object name, or "Window/name" for a name inside the
// top-level widget (or sheet) of that object name.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>

namespace {

QWidget* Named(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'));
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() != parts.last()) continue;
        if (parts.size() == 2 && widget->window()->objectName() != parts.first()) continue;
        // Of equal names, the one on screen.
        if (found == nullptr || widget->isVisible()) found = widget;
    }
    return found;
}

QString Name(const QWidget* widget) {
    return widget != nullptr && !widget->objectName().isEmpty() ? widget->objectName()
                                                                : QStringLiteral("-");
}

// A point in the display server's pixels, on a screen at the origin.
QString NativePoint(const QWidget* widget, QPoint local) {
    const QPoint global = widget->mapToGlobal(local);
    const qreal ratio = widget->devicePixelRatioF();
    return QStringLiteral("%1 %2").arg(qRound(global.x() * ratio)).arg(qRound(global.y() * ratio));
}

QString Text(const QWidget* widget) {
    if (const auto* menu = qobject_cast<const QComboBox*>(widget)) return menu->currentText();
    if (const auto* field = qobject_cast<const QLineEdit*>(widget)) return field->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    return {};
}

// A caption is clipped when its size hint does not fit its geometry (for a
// wrapping label: its height for its width).
bool Clipped(const QWidget* widget) {
    const QSize hint = widget->sizeHint();
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label != nullptr && label->wordWrap()) {
        return label->heightForWidth(label->width()) > label->height();
    }
    return hint.width() > widget->width() || hint.height() > widget->height();
}

QString ClippedCaptions() {
    QStringList clipped;
    for (QWidget* widget : QApplication::allWidgets()) {
        const bool caption = qobject_cast<QLabel*>(widget) != nullptr ||
                             qobject_cast<QAbstractButton*>(widget) != nullptr;
        if (caption && widget->isVisible() && Clipped(widget)) {
            clipped.append(QStringLiteral("%1(%2x%3<%4x%5)")
                               .arg(Name(widget))
                               .arg(widget->width())
                               .arg(widget->height())
                               .arg(widget->sizeHint().width())
                               .arg(widget->sizeHint().height()));
        }
    }
    return clipped.isEmpty() ? QStringLiteral("-") : clipped.join(QLatin1Char(' '));
}

QString Answer(const QString& question) {
    const QStringList words = question.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.value(0);
    if (verb == QLatin1String("focus")) return Name(QApplication::focusWidget());
    if (verb == QLatin1String("grabber")) return Name(QWidget::keyboardGrabber());
    if (verb == QLatin1String("clipped")) return ClippedCaptions();
    if (verb == QLatin1String("popup")) {
        QWidget* popup = QApplication::activePopupWidget();
        return popup != nullptr ? QString::number(popup->winId()) : QStringLiteral("-");
    }
    QWidget* widget = Named(words.value(1));
    if (widget == nullptr) return QStringLiteral("?");
    if (verb == QLatin1String("visible")) return widget->isVisible() ? "1" : "0";
    if (verb == QLatin1String("exposed")) {  // the display server shows its window
        const QWindow* window = widget->window()->windowHandle();
        return window != nullptr && window->isExposed() ? "1" : "0";
    }
    if (verb == QLatin1String("text")) return Text(widget);
    if (verb == QLatin1String("center")) return NativePoint(widget, widget->rect().center());
    if (verb == QLatin1String("window")) return QString::number(widget->window()->winId());
    if (verb == QLatin1String("item")) {  // "item MENU TITLE": in the open list, scrolled to
        auto* menu = qobject_cast<QComboBox*>(widget);
        const QString title = words.mid(2).join(QLatin1Char(' '));
        if (menu == nullptr || menu->findText(title) < 0) return QStringLiteral("?");
        const QModelIndex row = menu->model()->index(menu->findText(title), 0);
        menu->view()->scrollTo(row);
        return NativePoint(menu->view()->viewport(), menu->view()->visualRect(row).center());
    }
    if (verb == QLatin1String("tab")) {  // "tab TABVIEW INDEX": the tab's title
        auto* tabs = qobject_cast<QTabWidget*>(widget);
        if (tabs == nullptr) return QStringLiteral("?");
        return NativePoint(tabs->tabBar(), tabs->tabBar()->tabRect(words.value(2).toInt()).center());
    }
    return QStringLiteral("?");
}

class PaneProbe : public QObject {
public:
    explicit PaneProbe(const QString& socketPath) {
        connect(&fServer, &QLocalServer::newConnection, this, [this] {
            QLocalSocket* client = fServer.nextPendingConnection();
            connect(client, &QLocalSocket::readyRead, client, [client] {
                while (client->canReadLine()) {
                    const QString question = QString::fromUtf8(client->readLine()).trimmed();
                    client->write(Answer(question).toUtf8() + '\n');
                }
            });
        });
        fServer.listen(socketPath);
    }

private:
    QLocalServer fServer;
};

}  // namespace

class PaneProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "PaneProbe.json")

public:
    QObject* create(const QString&, const QString& socketPath) override {
        return new PaneProbe(socketPath);
    }
};

#include "PaneProbe.moc"
