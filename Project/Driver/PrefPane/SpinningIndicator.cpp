#include "SpinningIndicator.h"

#include <QPainter>
#include <QTimerEvent>
#include <algorithm>

SpinningIndicator::SpinningIndicator(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Searching"));
}

void SpinningIndicator::startAnimation() {
    if (fTimerId == 0) {
        fTimerId = startTimer(80);
    }
}

void SpinningIndicator::stopAnimation() {
    if (fTimerId != 0) {
        killTimer(fTimerId);
        fTimerId = 0;
    }
}

void SpinningIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() == fTimerId) {
        fStep = (fStep + 1) % kSpokes;
        update();
    }
}

void SpinningIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QColor spoke = palette().color(QPalette::WindowText);
    QPen pen(spoke, side / 12.0, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The leading spoke is darkest; the others fade behind it.
        const int age = (fStep - i + kSpokes) % kSpokes;
        spoke.setAlphaF(1.0 - 0.75 * age / kSpokes);
        pen.setColor(spoke);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        painter.rotate(360.0 / kSpokes);
    }
}
