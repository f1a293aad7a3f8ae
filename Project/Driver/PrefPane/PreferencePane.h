#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <QtPlugin>

// The host's side of a preference pane: the principal class of a pane bundle
// derives from it. The host loads the interface once, calls mainViewDidLoad
// once, willSelect each time the pane is about to be shown and willUnselect
// each time it is about to be hidden.
class APreferencePane : public QObject {
public:
    ~APreferencePane() override = default;

    // Loads the pane's interface; the main view stays the pane's until the
    // host puts it into its window.
    virtual QWidget* loadMainView() = 0;
    virtual QWidget* mainView() const = 0;
    virtual void mainViewDidLoad() {}
    virtual void willSelect() {}
    virtual void willUnselect() {}
};

// What a pane bundle (a plugin) gives its host.
class PreferencePaneBundle {
public:
    virtual ~PreferencePaneBundle() = default;
    virtual QString bundleIdentifier() const = 0;
    // Puts the pane's platform services on the real machine (run loop on Qt's
    // event loop, user defaults, notifications, beep); once, before the
    // principal class is made.
    virtual void StartPlatform() = 0;
    virtual APreferencePane* instantiatePrincipalClass() = 0;
};

#define PreferencePaneBundle_iid "com.halvorin.PreferencePaneBundle/1.0"
Q_DECLARE_INTERFACE(PreferencePaneBundle, PreferencePaneBundle_iid)
