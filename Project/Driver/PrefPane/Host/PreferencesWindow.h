#pragma once

#include <QWidget>

class APreferencePane;

// The host's window around one pane's main view. Showing the window selects
// the pane (willSelect), hiding or closing it unselects it (willUnselect).
class PreferencesWindow : public QWidget {
public:
    PreferencesWindow(APreferencePane& pane, QWidget* mainView, bool quitAfterFirstPaint);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    APreferencePane& fPane;
    bool fQuitAfterFirstPaint;
    bool fPainted = false;
};

