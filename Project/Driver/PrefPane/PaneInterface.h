#pragma once

class AMainPrefController;
class QWidget;

// Loads the pane's interface for its principal controller, as a nib is
// loaded: makes the main view, the two sheets and the tab controllers, sets
// every outlet, then lets each object finish (awakeFromNib). Only the
// searching view starts inside the content view. Returns the main view.
QWidget* LoadPaneInterface(AMainPrefController& owner);
