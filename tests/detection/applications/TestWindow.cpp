// A stand-in desktop application for tests under Xvfb: maps top-level windows
// whose WM_CLASS is named after the program file (a copy named "Cluely" shows
// "cluely", "Cluely"), prints "ready" once the server has them, and lives
// until its standard input closes.
//
//   --windows N       map N windows of that class (default 1)
//   --no-pid          leave out _NET_WM_PID
//   --client-list     act as the window manager: list the windows in the root's
//                     _NET_CLIENT_LIST, plus one mapped window of class
//                     "Unlisted" that is left out of the list
//   --fork-helper     start a windowless child of the same executable

#include <xcb/xcb.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

xcb_window_t mapWindow(xcb_connection_t *connection, xcb_screen_t *screen,
                       const std::string &instance, const std::string &className, bool withPid)
{
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const std::string wmClass = instance + '\0' + className + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, uint32_t(wmClass.size()), wmClass.data());
    if (withPid) {
        const uint32_t pid = uint32_t(getpid());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window,
                            atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    xcb_map_window(connection, window);
    return window;
}

} // namespace

int main(int argc, char *argv[])
{
    int windowCount = 1;
    bool withPid = true;
    bool clientList = false;
    bool forkHelper = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--windows" && i + 1 < argc)
            windowCount = std::atoi(argv[++i]);
        else if (argument == "--no-pid")
            withPid = false;
        else if (argument == "--client-list")
            clientList = true;
        else if (argument == "--fork-helper")
            forkHelper = true;
        else
            return 2;
    }

    std::string className = argv[0];
    className = className.substr(className.find_last_of('/') + 1);
    std::string instance = className;
    for (char &c : instance)
        c = char(std::tolower(static_cast<unsigned char>(c)));

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;

    std::vector<xcb_window_t> windows;
    for (int i = 0; i < windowCount; ++i)
        windows.push_back(mapWindow(connection, screen, instance, className, withPid));
    if (clientList) {
        mapWindow(connection, screen, "unlisted", "Unlisted", withPid);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                            atom(connection, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
                            uint32_t(windows.size()), windows.data());
    }
    // A round trip: once answered, the server has carried out everything above.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    if (forkHelper && fork() == 0) {
        close(xcb_get_file_descriptor(connection));
        // By its real path, so the helper's comm is the program's name too.
        char self[4096] = {};
        if (readlink("/proc/self/exe", self, sizeof self - 1) > 0)
            execl(self, argv[0], "--windows", "0", static_cast<char *>(nullptr));
        _exit(127);
    }

    std::puts("ready");
    std::fflush(stdout);
    char buffer[64];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    xcb_disconnect(connection);
    return 0;
}
