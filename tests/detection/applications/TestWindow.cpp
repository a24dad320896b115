// A stand-in desktop tool for tests under Xvfb: maps two top-level windows
// whose WM_CLASS is named after the program file (a copy named "Cluely" shows
// "Cluely", "Cluely") and creates, unmapped, a third of class "Unlisted". It
// forks a windowless helper, prints "ready" once the server has it all, and
// lives until its standard input closes.
//
// With one argument:
//   no-pid        leave out _NET_WM_PID
//   client-list   act as the window manager: map "Unlisted" too, but list only
//                 the two tool windows in the root's _NET_CLIENT_LIST

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool noPid = mode == "no-pid";
    const bool clientList = mode == "client-list";
    const std::string className = std::strrchr(argv[0], '/') + 1; // started by its full path

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t pid = uint32_t(getpid());
    xcb_window_t windows[3];
    for (int i = 0; i < 3; ++i) {
        windows[i] = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, windows[i], screen->root, 10, 10, 200,
                          100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const std::string name =
            i < 2 ? className + '\0' + className + '\0' : std::string("Unlisted\0Unlisted\0", 18);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, windows[i], XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, uint32_t(name.size()), name.data());
        if (!noPid)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, windows[i],
                                atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        if (i < 2 || clientList)
            xcb_map_window(connection, windows[i]);
    }
    if (clientList)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                            atom(connection, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, 2, windows);
    // A round trip: once answered, the server has carried out everything above.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    // The helper is the same program (same exe, comm and command line) without windows.
    if (fork() == 0)
        close(xcb_get_file_descriptor(connection)); // the helper holds no window open
    else if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return 1;
    char buffer[64];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
