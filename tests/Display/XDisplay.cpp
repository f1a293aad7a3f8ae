#include "XDisplay.h"

#include <X11/keysym.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

namespace {

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
Owned<Reply> Own(Reply* reply) {
    return Owned<Reply>(reply, &std::free);
}

struct NamedKeysym {
    const char* name;
    xcb_keysym_t keysym;
};
constexpr NamedKeysym kKeysyms[] = {
    {"Tab", XK_Tab},         {"Return", XK_Return}, {"space", XK_space},   {"Escape", XK_Escape},
    {"Up", XK_Up},           {"Down", XK_Down},     {"Right", XK_Right},   {"Left", XK_Left},
    {"Super_L", XK_Super_L}, {"Alt_L", XK_Alt_L},   {"Shift_L", XK_Shift_L}, {"F4", XK_F4},
};

xcb_keysym_t KeysymNamed(const std::string& name) {
    if (name.size() == 1) return static_cast<unsigned char>(name[0]);  // Latin-1 letters
    for (const NamedKeysym& key : kKeysyms) {
        if (name == key.name) return key.keysym;
    }
    std::fprintf(stderr, "XDisplay: no keysym named %s\n", name.c_str());
    std::abort();
}

}  // namespace

XDisplay::XDisplay() {
    fConnection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(fConnection)) {
        std::fprintf(stderr, "XDisplay: cannot connect to $DISPLAY\n");
        std::abort();
    }
    fScreen = xcb_setup_roots_iterator(xcb_get_setup(fConnection)).data;
    const xcb_setup_t* setup = xcb_get_setup(fConnection);
    fMinKeyCode = setup->min_keycode;
    const auto mapping = Own(xcb_get_keyboard_mapping_reply(
        fConnection,
        xcb_get_keyboard_mapping(fConnection, setup->min_keycode,
                                 static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr));
    fKeysymsPerCode = mapping->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    fKeysyms.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(mapping.get()));
}

XDisplay::~XDisplay() {
    xcb_disconnect(fConnection);
}

xcb_keycode_t XDisplay::KeyCode(const std::string& keysymName) {
    const xcb_keysym_t wanted = KeysymNamed(keysymName);
    for (std::size_t i = 0; i < fKeysyms.size(); ++i) {
        if (fKeysyms[i] == wanted) {
            return static_cast<xcb_keycode_t>(fMinKeyCode + i / fKeysymsPerCode);
        }
    }
    std::fprintf(stderr, "XDisplay: no key types %s\n", keysymName.c_str());
    std::abort();
}

void XDisplay::Fake(std::uint8_t type, std::uint8_t detail, std::int16_t x, std::int16_t y) {
    xcb_test_fake_input(fConnection, type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? fScreen->root : XCB_NONE, x, y, 0);
}

void XDisplay::Type(const std::string& chord) {
    std::vector<xcb_keycode_t> keys;
    std::istringstream parts(chord);
    for (std::string key; std::getline(parts, key, '+');) keys.push_back(KeyCode(key));
    for (const xcb_keycode_t key : keys) Fake(XCB_KEY_PRESS, key);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) Fake(XCB_KEY_RELEASE, *key);
    xcb_flush(fConnection);
}

void XDisplay::Click(int x, int y) {
    Fake(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    Fake(XCB_BUTTON_PRESS, 1);
    Fake(XCB_BUTTON_RELEASE, 1);
    xcb_flush(fConnection);
}

void XDisplay::Wheel(int x, int y, int notches) {
    Fake(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    const std::uint8_t button = notches < 0 ? 4 : 5;
    for (int i = 0; i < std::abs(notches); ++i) {
        Fake(XCB_BUTTON_PRESS, button);
        Fake(XCB_BUTTON_RELEASE, button);
    }
    xcb_flush(fConnection);
}

bool XDisplay::Viewable(xcb_window_t window) {
    const auto attributes = Own(xcb_get_window_attributes_reply(
        fConnection, xcb_get_window_attributes(fConnection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

QImage XDisplay::Capture(xcb_window_t window) {
    const auto geometry =
        Own(xcb_get_geometry_reply(fConnection, xcb_get_geometry(fConnection, window), nullptr));
    if (!geometry) return {};
    const auto image = Own(xcb_get_image_reply(
        fConnection,
        xcb_get_image(fConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width,
                      geometry->height, ~0u),
        nullptr));
    if (!image) return {};
    const QImage::Format format =
        geometry->depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return QImage(xcb_get_image_data(image.get()), geometry->width, geometry->height, format)
        .copy();
}

xcb_atom_t XDisplay::Atom(const char* name) {
    const auto reply = Own(xcb_intern_atom_reply(
        fConnection, xcb_intern_atom(fConnection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : XCB_NONE;
}

void XDisplay::Close(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom("WM_PROTOCOLS");
    message.data.data32[0] = Atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(fConnection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(fConnection);
}

void XDisplay::Focus(xcb_window_t window) {
    xcb_set_input_focus(fConnection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(fConnection);
}

void XDisplay::FocusOwnWindow() {
    if (fOwnWindow == XCB_NONE) {
        fOwnWindow = xcb_generate_id(fConnection);
        const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS;
        xcb_create_window(fConnection, XCB_COPY_FROM_PARENT, fOwnWindow, fScreen->root, 0, 0, 40,
                          40, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, fScreen->root_visual,
                          XCB_CW_EVENT_MASK, &events);
        xcb_map_window(fConnection, fOwnWindow);
    }
    Focus(fOwnWindow);
    Own(xcb_get_input_focus_reply(fConnection, xcb_get_input_focus(fConnection), nullptr));
    while (auto* event = xcb_poll_for_event(fConnection)) std::free(event);  // a clean slate
}

bool XDisplay::OwnWindowGotKey(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    do {
        while (auto* event = xcb_poll_for_event(fConnection)) {
            const bool key = (event->response_type & 0x7f) == XCB_KEY_PRESS;
            std::free(event);
            if (key) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

bool XDisplay::KeyboardGrabbedElsewhere() {
    const auto reply = Own(xcb_grab_keyboard_reply(
        fConnection,
        xcb_grab_keyboard(fConnection, 0, fScreen->root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                          XCB_GRAB_MODE_ASYNC),
        nullptr));
    const bool elsewhere = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(fConnection, XCB_CURRENT_TIME);
        xcb_flush(fConnection);
    }
    return elsewhere;
}
