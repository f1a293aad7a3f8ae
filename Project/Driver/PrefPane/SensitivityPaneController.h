#pragma once

#include <QObject>

class QAbstractButton;
class QAbstractSlider;

// The model behind the sensitivity tab: the three values its controls show.
// Every setter stores the value and posts its local change notification,
// even for the value already held; the main controller stores and forwards
// it. The controls are bound both ways: a user's change runs the setter, and
// a setter shows the value in its control without running it again.
class ASensitivityPaneController : public QObject {
public:
    explicit ASensitivityPaneController(QObject* parent = nullptr) : QObject(parent) {}

    double pointerSensitivity() const { return fPointerSensitivity; }
    void setPointerSensitivity(double value);
    double scrollWheelSensitivity() const { return fScrollWheelSensitivity; }
    void setScrollWheelSensitivity(double value);
    bool reverseScrollDirection() const { return fReverseScrollDirection; }
    void setReverseScrollDirection(bool value);

    // The bindings, made once when the interface is loaded.
    void BindControls(QAbstractSlider* pointer, QAbstractSlider* scrollWheel,
                      QAbstractButton* reverse);

private:
    void ShowValues();

    double fPointerSensitivity = 0.0;
    double fScrollWheelSensitivity = 0.0;
    bool fReverseScrollDirection = false;

    QAbstractSlider* fPointerControl = nullptr;
    QAbstractSlider* fScrollWheelControl = nullptr;
    QAbstractButton* fReverseControl = nullptr;
};
