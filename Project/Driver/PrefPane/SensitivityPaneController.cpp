#include "SensitivityPaneController.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QSignalBlocker>
#include <cmath>

#include "DeviceSettings.h"
#include "LocalNotifications.h"
#include "PaneNames.h"

using platform::NotificationUserInfo;

void ASensitivityPaneController::setPointerSensitivity(double value) {
    fPointerSensitivity = value;
    ShowValues();
    const NotificationUserInfo userInfo{{kPointerSensitivityKey, value}};
    platform::NSNotificationCenter::defaultCenter().PostNotification(kPointerSensitivityChangeNotif,
                                                                     this, &userInfo);
}

void ASensitivityPaneController::setScrollWheelSensitivity(double value) {
    fScrollWheelSensitivity = value;
    ShowValues();
    const NotificationUserInfo userInfo{{kScrollWheelSensitivityKey, value}};
    platform::NSNotificationCenter::defaultCenter().PostNotification(
        kScrollWheelSensitivityChangeNotif, this, &userInfo);
}

void ASensitivityPaneController::setReverseScrollDirection(bool value) {
    fReverseScrollDirection = value;
    ShowValues();
    const NotificationUserInfo userInfo{{kReverseScrollDirectionKey, value}};
    platform::NSNotificationCenter::defaultCenter().PostNotification(
        kReverseScrollDirectionChangeNotif, this, &userInfo);
}

void ASensitivityPaneController::BindControls(QAbstractSlider* pointer,
                                              QAbstractSlider* scrollWheel,
                                              QAbstractButton* reverse) {
    fPointerControl = pointer;
    fScrollWheelControl = scrollWheel;
    fReverseControl = reverse;
    for (QAbstractSlider* slider : {pointer, scrollWheel}) {
        // The agent looks sensitivities up in a ten-entry table.
        slider->setRange(0, 9);
    }
    connect(pointer, &QAbstractSlider::valueChanged, this,
            [this](int value) { setPointerSensitivity(value); });
    connect(scrollWheel, &QAbstractSlider::valueChanged, this,
            [this](int value) { setScrollWheelSensitivity(value); });
    connect(reverse, &QAbstractButton::toggled, this,
            [this](bool value) { setReverseScrollDirection(value); });
    ShowValues();
}

void ASensitivityPaneController::ShowValues() {
    if (fPointerControl == nullptr) {
        return;
    }
    const QSignalBlocker blockPointer(fPointerControl);
    const QSignalBlocker blockScroll(fScrollWheelControl);
    const QSignalBlocker blockReverse(fReverseControl);
    fPointerControl->setValue(static_cast<int>(std::trunc(fPointerSensitivity)));
    fScrollWheelControl->setValue(static_cast<int>(std::trunc(fScrollWheelSensitivity)));
    fReverseControl->setChecked(fReverseScrollDirection);
}
