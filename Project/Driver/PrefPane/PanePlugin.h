#pragma once

#include <QObject>

#include "PreferencePane.h"

// The pane bundle's entry: its identifier and principal class
// (AMainPrefController) are in its metadata as well, for hosts that look.
class OrvandelPaneBundle : public QObject, public PreferencePaneBundle {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PreferencePaneBundle_iid FILE "PanePlugin.json")
    Q_INTERFACES(PreferencePaneBundle)

public:
    QString bundleIdentifier() const override;
    void StartPlatform() override;
    APreferencePane* instantiatePrincipalClass() override;
};
