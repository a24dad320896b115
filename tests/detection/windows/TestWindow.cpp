// A stand-in desktop tool for tests under Xvfb. Its windows' WM_CLASS is
// named after the program file (a copy named "Cluely" shows "Cluely",
// "Cluely"). It shows its windows on the screen DISPLAY names, prints "ready"
// and the ids of its mapped windows once the server has everything, and lives
// until its standard input closes.
//
// Without an argument it maps two top-level windows and creates, unmapped, a
// third of class "Unlisted", and forks a windowless helper. With an argument:
//   no-pid        the same, without _NET_WM_PID
//   client-list   act as the window manager: map "Unlisted" too, but list only
//                 the two tool windows in the root's _NET_CLIENT_LIST
//   hostile-list  one window, and a _NET_CLIENT_LIST of 100,000 bogus ids
//                 without it
//   title         windows titled "Shopping list" and "Cluely", without
//                 WM_CLASS or _NET_WM_PID
//   names         a window named only by a 3 KiB title with runs of
//                 whitespace, icon names and a role; an unmapped one of class "Hidden"
//   under-unmapped  5,000 unmapped windows without a name, then one of class "Cluely"
//   many-named    4,100 unmapped windows of class "Hidden"
//   overlay       an overlay (32-bit, above, hidden from the task bar,
//                 click-through), and windows that are none: the same without
//                 those properties, a tiny one, a tooltip and a notification
//   raises-itself a window (hidden from the task bar, 32-bit) that raises
//                 itself every 200 ms, and another made the active one
//   window FLAG...  one window claiming its parent's _NET_WM_PID, as the flags
//                 say: WIDTHxHEIGHT, above, skip (the task bar), argb,
//                 translucent, undecorated, click-through, shaped (two bars),
//                 override (redirect), unmapped, class=NAME, type=TYPE,...
//                 (UTILITY, DND, ...); grab (then hold the server grabbed),
//                 into=ID (put it inside window ID)

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
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

void setText(xcb_window_t window, const char *property, const std::string &text)
{
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(property),
                        atom("UTF8_STRING"), 8, uint32_t(text.size()), text.data());
}

void setAtoms(xcb_window_t window, const char *property, const std::vector<std::string> &names)
{
    std::vector<xcb_atom_t> atoms;
    for (const std::string &name : names)
        atoms.push_back(atom(name.c_str()));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_ATOM,
                        32, uint32_t(atoms.size()), atoms.data());
}

enum class Pid { Own, None, Parents };

std::vector<std::string> split(const std::string &text)
{
    std::vector<std::string> parts;
    for (size_t begin = 0, end; begin <= text.size(); begin = end + 1) {
        end = std::min(text.find(',', begin), text.size());
        parts.push_back(text.substr(begin, end - begin));
    }
    return parts;
}

struct Look
{
    uint16_t width = 200;
    uint16_t height = 100;
    bool argb = false;
    bool overrideRedirect = false;
    Pid pid = Pid::Own;
    std::vector<std::string> states{};
    std::vector<std::string> types{};
    bool clickThrough = false;
    const char *title = nullptr;
    std::optional<std::string> wmClass = className;
    bool undecorated = false;
    std::optional<uint32_t> opacity{};
    bool shaped = false;
    bool mapped = true;
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
    if (look.wmClass) {
        const std::string wmClass = *look.wmClass + '\0' + *look.wmClass + '\0';
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, uint32_t(wmClass.size()), wmClass.data());
    }
    if (look.pid != Pid::None) {
        const uint32_t pid = uint32_t(look.pid == Pid::Own ? getpid() : getppid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    if (!look.states.empty())
        setAtoms(window, "_NET_WM_STATE", look.states);
    if (!look.types.empty())
        setAtoms(window, "_NET_WM_WINDOW_TYPE", look.types);
    if (look.title)
        setText(window, "_NET_WM_NAME", look.title);
    if (look.clickThrough) // an empty input region
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0, nullptr);
    if (look.undecorated) { // flags: decorations given; decorations: none
        const uint32_t hints[] = {1u << 1, 0, 0, 0, 0};
        const xcb_atom_t motif = atom("_MOTIF_WM_HINTS");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, motif, motif, 32, 5, hints);
    }
    if (look.opacity)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 32, 1,
                            &*look.opacity);
    if (look.shaped) { // two bars with a gap between them
        const xcb_rectangle_t bars[] = {{0, 0, look.width, 20},
                                        {0, int16_t(look.height - 20), look.width, 20}};
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 2, bars);
    }
    return window;
}

// The window the flags of the "window" mode describe; null for an unknown flag.
std::optional<Look> lookOf(const std::vector<std::string> &flags, bool *grab, xcb_window_t *into)
{
    Look look{.pid = Pid::Parents};
    for (const std::string &flag : flags) {
        const std::string value = flag.substr(flag.find('=') + 1);
        if (flag == "above")
            look.states.push_back("_NET_WM_STATE_ABOVE");
        else if (flag == "skip")
            look.states.push_back("_NET_WM_STATE_SKIP_TASKBAR");
        else if (flag == "argb")
            look.argb = true;
        else if (flag == "translucent")
            look.opacity = 0xc0000000;
        else if (flag == "undecorated")
            look.undecorated = true;
        else if (flag == "click-through")
            look.clickThrough = true;
        else if (flag == "shaped")
            look.shaped = true;
        else if (flag == "override")
            look.overrideRedirect = true;
        else if (flag == "unmapped")
            look.mapped = false;
        else if (flag == "grab")
            *grab = true;
        else if (flag.starts_with("class="))
            look.wmClass = value;
        else if (flag.starts_with("type="))
            for (const std::string &type : split(value))
                look.types.push_back("_NET_WM_WINDOW_TYPE_" + type);
        else if (flag.starts_with("into="))
            *into = xcb_window_t(std::stoul(value, nullptr, 0));
        else if (int width, height; std::sscanf(flag.c_str(), "%dx%d", &width, &height) == 2)
            look.width = uint16_t(width), look.height = uint16_t(height);
        else
            return std::nullopt;
    }
    return look;
}

// Everything sent so far is carried out once a round trip returns.
void roundTrip()
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
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
    xcb_window_t raiser = XCB_NONE;
    xcb_window_t into = XCB_NONE;
    bool grab = false;
    const Look overlay{.width = 400,
                       .height = 200,
                       .argb = true,
                       .pid = Pid::Parents,
                       .states = {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"},
                       .clickThrough = true};
    if (mode.empty() || mode == "no-pid" || mode == "client-list") {
        const Pid pid = mode == "no-pid" ? Pid::None : Pid::Own;
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
        mapped = {createWindow({.pid = Pid::None, .title = "Shopping list", .wmClass = {}}),
                  createWindow({.pid = Pid::None, .title = "Cluely", .wmClass = {}})};
    } else if (mode == "names") {
        const std::string title = "  Notes \t\n about  " + std::string(3000, 'x') + "   Cluely ";
        mapped = {createWindow({.pid = Pid::None, .title = title.c_str(), .wmClass = {}})};
        setText(mapped[0], "_NET_WM_ICON_NAME", "Cluely  icon");
        setText(mapped[0], "WM_ICON_NAME", "old icon");
        setText(mapped[0], "WM_WINDOW_ROLE", "cluely-answers");
        createWindow({.wmClass = "Hidden"});
    } else if (mode == "under-unmapped" || mode == "many-named") {
        for (int i = 0; i < (mode == "many-named" ? 4100 : 5000); ++i)
            createWindow({.pid = Pid::None,
                          .wmClass = mode == "many-named" ? std::optional<std::string>("Hidden")
                                                          : std::nullopt});
        if (mode == "under-unmapped")
            mapped = {createWindow({.wmClass = "Cluely"})};
    } else if (mode == "overlay") {
        Look plain = overlay;
        plain.argb = false;
        plain.states.clear();
        plain.clickThrough = false;
        Look tiny = overlay;
        tiny.width = 60;
        tiny.height = 40;
        Look tooltip = overlay;
        tooltip.overrideRedirect = true;
        tooltip.types = {"_NET_WM_WINDOW_TYPE_TOOLTIP"};
        Look notification = overlay;
        notification.types = {"_NET_WM_WINDOW_TYPE_NOTIFICATION"};
        mapped = {createWindow(plain), createWindow(tiny), createWindow(tooltip),
                  createWindow(notification), createWindow(overlay)};
    } else if (mode == "raises-itself") {
        raiser = createWindow({.width = 400,
                               .argb = true,
                               .pid = Pid::Parents,
                               .states = {"_NET_WM_STATE_SKIP_TASKBAR"}});
        mapped = {raiser, createWindow({.width = 300, .pid = Pid::Parents})};
    } else if (const auto look = lookOf({argv + 2, argv + argc}, &grab, &into);
               mode == "window" && look) {
        const xcb_window_t window = createWindow(*look);
        if (look->mapped)
            mapped = {window};
    } else {
        return 2;
    }
    for (xcb_window_t window : mapped)
        xcb_map_window(connection, window);
    if (into)
        xcb_reparent_window(connection, mapped[0], into, 5, 5);
    if (raiser) { // the other window is made the active one, as a pager would
        xcb_client_message_event_t activate{};
        activate.response_type = XCB_CLIENT_MESSAGE;
        activate.format = 32;
        activate.window = mapped[1];
        activate.type = atom("_NET_ACTIVE_WINDOW");
        activate.data.data32[0] = 2;
        xcb_send_event(connection, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&activate));
    }
    if (grab)
        xcb_grab_server(connection);
    roundTrip();

    // The helper is the same program (same exe, comm and command line) without windows.
    const bool withHelper = mode.empty() || mode == "no-pid" || mode == "client-list";
    if (withHelper && fork() == 0) {
        close(xcb_get_file_descriptor(connection)); // the helper holds no window open
    } else {
        std::string ready = "ready";
        for (xcb_window_t window : mapped) {
            char id[16];
            std::snprintf(id, sizeof id, " 0x%x", window);
            ready += id;
        }
        ready += '\n';
        if (write(STDOUT_FILENO, ready.data(), ready.size()) != ssize_t(ready.size()))
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
