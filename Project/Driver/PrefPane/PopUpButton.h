#pragma once

class QComboBox;

// Makes a choice menu behave as a pop-up button: a choice is made only in the
// open list, by a click or by Return or Space there, and only such a choice
// emits the menu's `activated`. On the closed menu the wheel does nothing;
// Space, Up, Down (Alt+Down included) and F4 open the list; other keys
// neither step through the items nor search them, and go on to the window.
// In the open list F4, Alt+Up and Alt+Down close it without a choice, as
// Escape does.
void MakePopUpButton(QComboBox& menu);
