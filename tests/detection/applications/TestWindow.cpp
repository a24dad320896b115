// A stand-in desktop tool for tests under Xvfb. Its windows' WM_CLASS is
// named after the program file (a copy named "Cluely" shows "Cluely",
// "Cluely"). It prints "ready" once the server has everything and lives until
// its standard input closes.
//
// Without an argument it maps two top-level windows and creates, unmapped, a
// third of class "Unlisted", and forks a windowless helper. With one argument:
//   no-pid        the same, without _NET_WM_PID
//   client-list   act as the window manager: map "Unlisted" too, but list only
//                 the two tool windows in the root's _NET_CLIENT_LIST
//   hostile-list  one window, and a _NET_CLIENT_LIST of 100,000 bogus ids
//                 without it
//   title         one window titled "Cluely"
//   override      one override-redirect window, such as no window manager lists
//   overlay       an overlay (32-bit, above, hidden from the task bar,
//                 click-through), and windows that are none: the same without
//                 those properties, a tiny one, a tooltip and a notification
//   input-only-overlay  an override-redirect window with an empty input shape

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

xcb_connection_t *connection;
xcb_screen_t *screen;
std::string className;

xcb_atom_t atom(const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

xcb_visualid_t argbVisual()
{
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem;
         xcb_depth_next(&depths)) {
        if (depths.data->depth == 32 && xcb_depth_visuals_length(depths.data) > 0)
            return xcb_depth_visuals(depths.data)->visual_id;
    }
    return XCB_NONE;
}

struct Look
{
    uint16_t width = 200;
    uint16_t height = 100;
    bool argb = false;
    bool overrideRedirect = false;
    bool pid = true;
    std::vector<const char *> states{};
    const char *type = nullptr;
    bool clickThrough = false;
    const char *title = nullptr;
    std::string wmClass = className;
};

xcb_window_t createWindow(const Look &look)
{
    const xcb_window_t window = xcb_generate_id(connection);
    if (look.argb) {
        const xcb_visualid_t visual = argbVisual();
        const xcb_colormap_t colormap = xcb_generate_id(connection);
        xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
        const uint32_t values[] = {0, 0, look.overrideRedirect, colormap};
        xcb_create_window(connection, 32, window, screen->root, 10, 10, look.width, look.height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                              XCB_CW_COLORMAP,
                          values);
    } else {
        const uint32_t values[] = {look.overrideRedirect};
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10,
                          look.width, look.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, values);
    }
    const std::string wmClass = look.wmClass + '\0' + look.wmClass + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, uint32_t(wmClass.size()), wmClass.data());
    if (look.pid) {
        const uint32_t pid = uint32_t(getpid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    std::vector<xcb_atom_t> states;
    for (const char *state : look.states)
        states.push_back(atom(state));
    if (!states.empty())
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STATE"),
                            XCB_ATOM_ATOM, 32, uint32_t(states.size()), states.data());
    if (look.type) {
        const xcb_atom_t type = atom(look.type);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &type);
    }
    if (look.title)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                            atom("UTF8_STRING"), 8, uint32_t(std::strlen(look.title)), look.title);
    if (look.clickThrough) // an empty input region
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0, nullptr);
    return window;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    className = std::strrchr(argv[0], '/') + 1; // started by its full path

    // Under load a healthy Xvfb now and then fails a fresh connection at the
    // socket (xcb error 1, with no refusal from the server); connecting
    // again succeeds. Each failure is told, and the attempts end after 10 s.
    for (int attempt = 1;; ++attempt) {
        connection = xcb_connect(nullptr, nullptr);
        const int error = xcb_connection_has_error(connection);
        if (error == 0)
            break;
        std::fprintf(stderr, "cannot connect to %s: xcb error %d (attempt %d)\n",
                     std::getenv("DISPLAY"), error, attempt);
        xcb_disconnect(connection);
        if (attempt == 100)
            return 1;
        usleep(100'000);
    }
    screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;

    std::vector<xcb_window_t> mapped;
    const char *above = "_NET_WM_STATE_ABOVE";
    const char *skipTaskbar = "_NET_WM_STATE_SKIP_TASKBAR";
    if (mode.empty() || mode == "no-pid" || mode == "client-list") {
        const bool pid = mode != "no-pid";
        mapped = {createWindow({.pid = pid}), createWindow({.pid = pid})};
        const xcb_window_t unlisted = createWindow({.pid = pid, .wmClass = "Unlisted"});
        if (mode == "client-list") {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                                atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, 2, mapped.data());
            mapped.push_back(unlisted);
        }
    } else if (mode == "hostile-list") {
        mapped = {createWindow({})};
        std::vector<xcb_window_t> bogus(100'000);
        for (size_t i = 0; i < bogus.size(); ++i)
            bogus[i] = xcb_window_t(0x7f000000 + i);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                            atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, uint32_t(bogus.size()),
                            bogus.data());
    } else if (mode == "title") {
        mapped = {createWindow({.title = "Shopping list"}), createWindow({.title = "Cluely"})};
    } else if (mode == "override") {
        mapped = {createWindow({.overrideRedirect = true})};
    } else if (mode == "overlay") {
        const Look overlay{.width = 400,
                           .height = 200,
                           .argb = true,
                           .states = {above, skipTaskbar},
                           .clickThrough = true};
        Look plain = overlay;
        plain.argb = false;
        plain.states.clear();
        plain.clickThrough = false;
        Look small = overlay;
        small.width = 60;
        small.height = 40;
        Look tooltip = overlay;
        tooltip.overrideRedirect = true;
        tooltip.type = "_NET_WM_WINDOW_TYPE_TOOLTIP";
        Look notification = overlay;
        notification.type = "_NET_WM_WINDOW_TYPE_NOTIFICATION";
        mapped = {createWindow(plain), createWindow(small), createWindow(tooltip),
                  createWindow(notification), createWindow(overlay)};
    } else if (mode == "input-only-overlay") {
        mapped = {createWindow(
            {.width = 300, .height = 120, .overrideRedirect = true, .clickThrough = true})};
    } else {
        return 2;
    }
    for (xcb_window_t window : mapped)
        xcb_map_window(connection, window);
    // A round trip: once answered, the server has carried out everything above.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    // The helper is the same program (same exe, comm and command line) without windows.
    const bool withHelper = mode.empty() || mode == "no-pid" || mode == "client-list";
    if (withHelper && fork() == 0)
        close(xcb_get_file_descriptor(connection)); // the helper holds no window open
    else if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return 1;
    char buffer[64];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
