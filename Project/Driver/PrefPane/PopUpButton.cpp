#include "PopUpButton.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>

namespace {

class PopUpButtonFilter : public QObject {
public:
    explicit PopUpButtonFilter(QComboBox& menu) : QObject(&menu), fMenu(menu) {
        fMenu.installEventFilter(this);
        // Installed after the list's own container filter, so this one runs
        // first.
        fMenu.view()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &fMenu) {
            return ClosedMenuEvent(event);
        }
        return OpenListEvent(event);
    }

private:
    static bool OpensOrClosesTheList(const QKeyEvent& key) {
        const bool alt = key.modifiers().testFlag(Qt::AltModifier);
        return key.key() == Qt::Key_F4 ||
               (alt && (key.key() == Qt::Key_Down || key.key() == Qt::Key_Up));
    }

    bool ClosedMenuEvent(QEvent* event) {
        if (event->type() == QEvent::Wheel) {
            event->ignore();
            return true;
        }
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto& key = static_cast<const QKeyEvent&>(*event);
        switch (key.key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                return false;
            case Qt::Key_Space:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_F4:
                fMenu.showPopup();
                return true;
            default:
                event->ignore();
                return true;
        }
    }

    bool OpenListEvent(QEvent* event) {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
            return false;
        }
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const bool press = event->type() == QEvent::KeyPress;
        if (OpensOrClosesTheList(key)) {
            // Qt would take the highlighted item: closing is not choosing.
            event->accept();
            if (press) fMenu.hidePopup();
            return true;
        }
        if (key.key() == Qt::Key_Space && key.modifiers() == Qt::NoModifier) {
            event->accept();
            if (press && !key.isAutoRepeat()) ChooseHighlighted();
            return true;
        }
        return false;
    }

    // What Return does in the open list.
    void ChooseHighlighted() {
        const QModelIndex item = fMenu.view()->currentIndex();
        if (!item.isValid() || !item.flags().testFlag(Qt::ItemIsEnabled)) {
            return;
        }
        fMenu.hidePopup();
        fMenu.setCurrentIndex(item.row());
        emit fMenu.activated(item.row());
    }

    QComboBox& fMenu;
};

}  // namespace

void MakePopUpButton(QComboBox& menu) {
    new PopUpButtonFilter(menu);
}
