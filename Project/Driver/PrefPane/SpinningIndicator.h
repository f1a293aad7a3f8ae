#pragma once

#include <QWidget>

// The indeterminate spinning wheel shown while the pane waits for the agent.
class SpinningIndicator : public QWidget {
public:
    explicit SpinningIndicator(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return fTimerId != 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static constexpr int kSpokes = 12;
    int fStep = 0;
    int fTimerId = 0;
};
