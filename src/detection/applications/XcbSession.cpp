#include "XcbSession.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <poll.h>
#include <xcb/xcbext.h>

namespace {

// xcb_connect blocks without limit when the server accepts the connection but
// never answers (a stopped or hung server). It therefore runs on its own
// thread; when it outlives the time-out it is left to finish alone and
// disconnects itself. While one such attempt still hangs no other is made, so
// a dead server costs one thread, not one per pass.
std::atomic<bool> connectHanging{false};

struct PendingConnect
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    xcb_connection_t *connection = nullptr;
    int screen = 0;
};

xcb_connection_t *connectWithin(const QString &display, std::chrono::milliseconds timeout,
                                int *screen)
{
    if (connectHanging)
        return nullptr;
    auto pending = std::make_shared<PendingConnect>();
    const QByteArray name = display.toLocal8Bit();
    std::thread worker;
    try {
        worker = std::thread([pending, name] {
            int screenNumber = 0;
            xcb_connection_t *connection = xcb_connect(name.constData(), &screenNumber);
            std::lock_guard lock(pending->mutex);
            if (pending->abandoned) {
                xcb_disconnect(connection);
                connectHanging = false;
                return;
            }
            pending->connection = connection;
            pending->screen = screenNumber;
            pending->finished = true;
            pending->done.notify_one();
        });
    } catch (const std::system_error &) {
        return nullptr; // no thread to spare: this pass goes without windows
    }
    worker.detach();

    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_for(lock, timeout, [&] { return pending->finished; })) {
        pending->abandoned = true;
        connectHanging = true;
        return nullptr;
    }
    if (xcb_connection_has_error(pending->connection)) {
        xcb_disconnect(pending->connection);
        return nullptr;
    }
    *screen = pending->screen;
    return pending->connection;
}

} // namespace

std::unique_ptr<XcbSession> XcbSession::open(const QString &display)
{
    int screenNumber = 0;
    xcb_connection_t *connection = connectWithin(display, connectTimeout, &screenNumber);
    if (!connection)
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<XcbSession>(new XcbSession(connection, screens.data->root));
}

XcbSession::XcbSession(xcb_connection_t *connection, xcb_window_t root)
    : m_connection(connection), m_root(root)
{}

XcbSession::~XcbSession()
{
    xcb_disconnect(m_connection);
}

std::vector<XcbReply<void>> XcbSession::replies(const std::vector<unsigned int> &sequences)
{
    std::vector<XcbReply<void>> collected;
    if (m_failed || xcb_flush(m_connection) <= 0) {
        m_failed = true;
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + requestTimeout;
    collected.reserve(sequences.size());
    while (collected.size() < sequences.size()) {
        void *reply = nullptr;
        xcb_generic_error_t *error = nullptr;
        // Reads what has arrived without blocking.
        if (xcb_poll_for_reply(m_connection, sequences[collected.size()], &reply, &error)) {
            std::free(error);
            collected.emplace_back(reply);
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (xcb_connection_has_error(m_connection) || left.count() <= 0) {
            m_failed = true;
            return {};
        }
        pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&socket, 1, int(left.count()));
    }
    if (xcb_connection_has_error(m_connection)) {
        m_failed = true; // a broken connection answers every request with nothing
        return {};
    }
    return collected;
}
