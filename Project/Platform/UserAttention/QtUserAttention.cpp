#include "QtUserAttention.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

void QtUserAttention::Beep() {
    QApplication::beep();
}

void QtUserAttention::RunStopAlert(const StopAlert& alert) {
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("StopAlert"));
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowModality(Qt::ApplicationModal);
    box.setText(QString::fromStdString(alert.header));
    box.setInformativeText(QString::fromStdString(alert.message));
    box.addButton(QString::fromStdString(alert.button), QMessageBox::AcceptRole);
    box.exec();
}

}  // namespace platform
