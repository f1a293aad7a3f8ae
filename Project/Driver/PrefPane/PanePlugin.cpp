#include "PanePlugin.h"

#include "MainPrefController.h"
#include "PaneBundle.h"
#include "PanePlatform.h"

QString OrvandelPaneBundle::bundleIdentifier() const {
    return QString::fromStdString(PaneBundleIdentifier());
}

void OrvandelPaneBundle::StartPlatform() {
    StartPanePlatform();
}

APreferencePane* OrvandelPaneBundle::instantiatePrincipalClass() {
    return new AMainPrefController;
}
