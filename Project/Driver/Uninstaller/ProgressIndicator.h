#pragma once

#include <QProgressBar>

// A progress bar driven by floating-point values: indeterminate until told
// otherwise, then showing value against maximum. Any values are accepted; the
// bar shows them clamped (nothing for a maximum of zero or less).
class ProgressIndicator : public QProgressBar {
    Q_OBJECT

public:
    explicit ProgressIndicator(QWidget* parent = nullptr);

    bool isIndeterminate() const { return fIndeterminate; }
    double maxValue() const { return fMaxValue; }
    double doubleValue() const { return fDoubleValue; }

    void setIndeterminate(bool indeterminate);
    void setMaxValue(double maxValue);
    void setDoubleValue(double doubleValue);

private:
    // Steps of the underlying integer bar for the whole range.
    static constexpr int kResolution = 10000;

    void ShowValues();

    bool fIndeterminate = true;
    double fMaxValue = 100.0;
    double fDoubleValue = 0.0;
};
