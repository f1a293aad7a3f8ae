#include "PreferencesWindow.h"

#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "PreferencePane.h"

namespace {

void Report(QWidget* window, const std::exception& error) {
    QMessageBox::warning(window, window->windowTitle(), QString::fromLocal8Bit(error.what()));
}

}  // namespace

PreferencesWindow::PreferencesWindow(APreferencePane& pane, QWidget* mainView,
                                     bool quitAfterFirstPaint)
    : fPane(pane), fQuitAfterFirstPaint(quitAfterFirstPaint) {
    setWindowTitle(QStringLiteral("Halvorin Mouse"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mainView);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferencesWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    try {
        fPane.willSelect();
    } catch (const std::exception& error) {
        Report(this, error);
    }
}

void PreferencesWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    try {
        fPane.willUnselect();
    } catch (const std::exception& error) {
        Report(nullptr, error);
    }
}

void PreferencesWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (fQuitAfterFirstPaint && !fPainted) {
        fPainted = true;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}
