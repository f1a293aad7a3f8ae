#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <chrono>
#include <string>
#include <vector>

// A client of the X server the test runs on: real input through the XTEST
// extension, captures of a window by its id, and a window of its own that
// tells whether keys reach another client.
class XDisplay {
public:
    XDisplay();  // the server of $DISPLAY; aborts the test program without one
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // A chord such as "Tab", "Super_L+c", "Alt_L+Down": the keys pressed in
    // order, then released in reverse order.
    void Type(const std::string& chord);
    void Click(int x, int y);
    // Wheel notches at a point: negative up, positive down.
    void Wheel(int x, int y, int notches);

    bool Viewable(xcb_window_t window);
    // Gives the window the input focus, as a window manager does with a new
    // window (Xvfb runs none).
    void Focus(xcb_window_t window);
    // The window's own contents, read from the server (an ARGB sheet is
    // captured with its alpha; a root capture would show it black).
    QImage Capture(xcb_window_t window);
    // Asks the window to close, as a window manager's close button does.
    void Close(xcb_window_t window);

    // This client's window, given the input focus.
    void FocusOwnWindow();
    // Whether a key press reached this client's window within the time.
    bool OwnWindowGotKey(std::chrono::milliseconds wait);
    // Whether another client holds the keyboard grab.
    bool KeyboardGrabbedElsewhere();

private:
    xcb_keycode_t KeyCode(const std::string& keysymName);
    xcb_atom_t Atom(const char* name);
    void Fake(std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0);

    xcb_connection_t* fConnection = nullptr;
    xcb_screen_t* fScreen = nullptr;
    xcb_window_t fOwnWindow = XCB_NONE;
    std::vector<xcb_keysym_t> fKeysyms;
    std::uint8_t fMinKeyCode = 0;
    std::uint8_t fKeysymsPerCode = 0;
};
