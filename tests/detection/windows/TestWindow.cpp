// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in desktop tool for tests under Xvfb. It shows its windows on the
// screen DISPLAY names, prints "ready" and the ids of its mapped windows once
// the server has everything, and lives until its standard input closes.
//
// Each argument is one window, described by comma-separated flags (none: a
// plain 200x100 window whose WM_CLASS is named after the program file, so a
// copy named "Cluely" shows "Cluely", "Cluely"; it claims its parent's
// _NET_WM_PID, which the X server knows better):
//   WIDTHxHEIGHT, above, skip (the task bar), argb, translucent, undecorated,
//   click-through, shaped (two bars), override (redirect), unmapped,
//   class=NAME, no-class, no-pid, type=TYPE (UTILITY, DND, ...; repeatable),
//   NAME=TEXT (a text property, e.g. _NET_WM_NAME=Notes),
//   times=N (that many alike), into=ID (put it inside window ID),
//   unlisted (left out of the _NET_CLIENT_LIST it then sets on the root),
//   raises (raises itself every 200 ms), active (made the active window).
// Other arguments: helper (fork a windowless helper), grab (hold the server
// grabbed), hostile-list (a _NET_CLIENT_LIST of 100,000 bogus ids).

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ranges>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <poll.h>
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

void setAtoms(xcb_window_t window, const char *property, const std::vector<std::string> &names)
{
    std::vector<xcb_atom_t> atoms;
    for (const std::string &name : names)
        atoms.push_back(atom(name.c_str()));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_ATOM,
                        32, uint32_t(atoms.size()), atoms.data());
}

struct Look
{
    uint16_t width = 200;
    uint16_t height = 100;
    std::string wmClass = className;
    std::vector<std::string> states{};
    std::vector<std::string> types{};
    std::vector<std::pair<std::string, std::string>> texts{}; // property, text
    int times = 1;
    xcb_window_t into = XCB_NONE;
    std::set<std::string, std::less<>> switchedOn{};

    bool has(std::string_view flag) const { return switchedOn.contains(flag); }
};

// The flags that each switch one thing on.
constexpr std::string_view switches[] = {"argb",   "translucent", "undecorated", "click-through",
                                         "shaped", "override",    "unmapped",    "no-class",
                                         "no-pid", "unlisted",    "raises",      "active"};

// Capitals and underscores, as X11 spells its properties' names.
bool isPropertyName(const std::string &name)
{
    return !name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == name.npos;
}

// The window `flags` describe; none for an unknown flag.
std::optional<Look> lookOf(const std::string &flags)
{
    Look look;
    for (const auto part : std::views::split(flags, ',')) {
        const std::string flag(part.begin(), part.end());
        const size_t equals = flag.find('=');
        const std::string value = flag.substr(equals + 1);
        if (std::ranges::find(switches, flag) != std::end(switches))
            look.switchedOn.insert(flag);
        else if (flag == "above")
            look.states.push_back("_NET_WM_STATE_ABOVE");
        else if (flag == "skip")
            look.states.push_back("_NET_WM_STATE_SKIP_TASKBAR");
        else if (flag.starts_with("class="))
            look.wmClass = value;
        else if (flag.starts_with("type="))
            look.types.push_back("_NET_WM_WINDOW_TYPE_" + value);
        else if (flag.starts_with("times="))
            look.times = std::stoi(value);
        else if (flag.starts_with("into="))
            look.into = xcb_window_t(std::stoul(value, nullptr, 0));
        else if (equals != std::string::npos && isPropertyName(flag.substr(0, equals)))
            look.texts.emplace_back(flag.substr(0, equals), value);
        else if (int width, height; std::sscanf(flag.c_str(), "%dx%d", &width, &height) == 2)
            look.width = uint16_t(width), look.height = uint16_t(height);
        else
            return std::nullopt;
    }
    return look;
}

xcb_window_t createWindow(const Look &look)
{
    const xcb_window_t window = xcb_generate_id(connection);
    // A 32-bit window needs a colormap of its own visual.
    const xcb_visualid_t visual = look.has("argb") ? argbVisual() : screen->root_visual;
    xcb_colormap_t colormap = screen->default_colormap;
    if (look.has("argb")) {
        colormap = xcb_generate_id(connection);
        xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
    }
    const uint32_t values[] = {0, 0, look.has("override"), colormap};
    xcb_create_window(connection, look.has("argb") ? 32 : screen->root_depth, window, screen->root,
                      10, 10, look.width, look.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                          XCB_CW_COLORMAP,
                      values);
    if (!look.has("no-class")) {
        const std::string wmClass = look.wmClass + '\0' + look.wmClass + '\0';
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, uint32_t(wmClass.size()), wmClass.data());
    }
    if (!look.has("no-pid")) {
        const uint32_t pid = uint32_t(getppid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    if (!look.states.empty())
        setAtoms(window, "_NET_WM_STATE", look.states);
    if (!look.types.empty())
        setAtoms(window, "_NET_WM_WINDOW_TYPE", look.types);
    for (const auto &[property, text] : look.texts)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(property.c_str()),
                            atom("UTF8_STRING"), 8, uint32_t(text.size()), text.data());
    if (look.has("click-through")) // an empty input region
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0, nullptr);
    if (look.has("undecorated")) { // flags: decorations given; decorations: none
        const uint32_t hints[] = {1u << 1, 0, 0, 0, 0};
        const xcb_atom_t motif = atom("_MOTIF_WM_HINTS");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, motif, motif, 32, 5, hints);
    }
    if (look.has("translucent")) {
        const uint32_t opacity = 0xc0000000;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 32, 1, &opacity);
    }
    if (look.has("shaped")) { // two bars with a gap between them
        const xcb_rectangle_t bars[] = {{0, 0, look.width, 20},
                                        {0, int16_t(look.height - 20), look.width, 20}};
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 2, bars);
    }
    return window;
}

} // namespace

int main(int argc, char *argv[])
{
    className = std::strrchr(argv[0], '/') + 1; // started by its full path

    // Under load a healthy Xvfb now and then fails a fresh connection at the
    // socket (xcb error 1, with no refusal from the server); connecting
    // again succeeds. Each failure is told, and the attempts end after 10 s.
    int screenNumber = 0;
    for (int attempt = 1;; ++attempt) {
        connection = xcb_connect(nullptr, &screenNumber);
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
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    screen = screens.data;

    std::vector<xcb_window_t> mapped;
    std::vector<xcb_window_t> listed;
    std::vector<std::pair<xcb_window_t, xcb_window_t>> reparented; // window, new parent
    xcb_window_t raiser = XCB_NONE;
    xcb_window_t active = XCB_NONE;
    bool helper = false, grab = false, hostileList = false, clientList = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::optional<Look> look = lookOf(argument);
        if (argument == "helper")
            helper = true;
        else if (argument == "grab")
            grab = true;
        else if (argument == "hostile-list")
            hostileList = true;
        else if (!look)
            return 2;
        for (int n = 0; look && n < look->times; ++n) {
            const xcb_window_t window = createWindow(*look);
            if (!look->has("unmapped"))
                mapped.push_back(window);
            if (!look->has("unmapped") && !look->has("unlisted"))
                listed.push_back(window);
            if (look->into)
                reparented.emplace_back(window, look->into);
            if (look->has("raises"))
                raiser = window;
            if (look->has("active"))
                active = window;
            clientList = clientList || look->has("unlisted");
        }
    }
    if (hostileList) {
        listed.resize(100'000);
        for (size_t i = 0; i < listed.size(); ++i)
            listed[i] = xcb_window_t(0x7f000000 + i);
    }
    if (clientList || hostileList)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                            atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, uint32_t(listed.size()),
                            listed.data());
    for (xcb_window_t window : mapped)
        xcb_map_window(connection, window);
    for (const auto &[window, parent] : reparented)
        xcb_reparent_window(connection, window, parent, 5, 5);
    if (active) { // as a pager would ask
        xcb_client_message_event_t activate{};
        activate.response_type = XCB_CLIENT_MESSAGE;
        activate.format = 32;
        activate.window = active;
        activate.type = atom("_NET_ACTIVE_WINDOW");
        activate.data.data32[0] = 2;
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&activate));
    }
    if (grab)
        xcb_grab_server(connection);
    // Everything sent so far is carried out once a round trip returns.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    // The helper is the same program (same exe, comm and command line) without windows.
    if (helper && fork() == 0) {
        close(xcb_get_file_descriptor(connection)); // the helper holds no window open
    } else {
        std::printf("ready");
        for (xcb_window_t window : mapped)
            std::printf(" 0x%x", window);
        if (std::printf("\n") != 1 || std::fflush(stdout) != 0)
            return 1;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    char buffer[64];
    while (true) {
        if (poll(&input, 1, raiser ? 200 : -1) == 0) { // a tick of the raising
            const uint32_t onTop = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(connection, raiser, XCB_CONFIG_WINDOW_STACK_MODE, &onTop);
            xcb_flush(connection);
        } else if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            return 0;
        }
    }
}
