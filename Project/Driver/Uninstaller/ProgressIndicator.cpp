#include "ProgressIndicator.h"

#include <algorithm>
#include <cmath>

ProgressIndicator::ProgressIndicator(QWidget* parent) : QProgressBar(parent) {
    ShowValues();
}

void ProgressIndicator::setIndeterminate(bool indeterminate) {
    fIndeterminate = indeterminate;
    ShowValues();
}

void ProgressIndicator::setMaxValue(double maxValue) {
    fMaxValue = maxValue;
    ShowValues();
}

void ProgressIndicator::setDoubleValue(double doubleValue) {
    fDoubleValue = doubleValue;
    ShowValues();
}

void ProgressIndicator::ShowValues() {
    if (fIndeterminate) {
        setRange(0, 0);
        return;
    }
    setRange(0, kResolution);
    double fraction = fMaxValue > 0.0 ? fDoubleValue / fMaxValue : 0.0;
    if (!std::isfinite(fraction)) fraction = fraction > 0.0 ? 1.0 : 0.0;
    setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kResolution)));
}
