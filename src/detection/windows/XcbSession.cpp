// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/XcbSession.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <iterator>
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
};

xcb_connection_t *connectWithin(const QString &display, std::chrono::milliseconds timeout,
                                XcbSession::Failure *failure)
{
    *failure = XcbSession::Failure::NoAnswer;
    if (connectHanging)
        return nullptr;
    auto pending = std::make_shared<PendingConnect>();
    const QByteArray name = display.toLocal8Bit();
    std::thread worker;
    try {
        worker = std::thread([pending, name] {
            xcb_connection_t *connection = xcb_connect(name.constData(), nullptr);
            std::lock_guard lock(pending->mutex);
            if (pending->abandoned) {
                xcb_disconnect(connection);
                connectHanging = false;
                return;
            }
            pending->connection = connection;
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
        *failure = XcbSession::Failure::Unreachable;
        return nullptr;
    }
    *failure = XcbSession::Failure::None;
    return pending->connection;
}

} // namespace

std::unique_ptr<XcbSession> XcbSession::open(const QString &display, Failure *failure)
{
    xcb_connection_t *connection = connectWithin(display, connectTimeout, failure);
    if (!connection)
        return nullptr;
    std::vector<xcb_window_t> roots;
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem;
         xcb_screen_next(&screens))
        roots.push_back(screens.data->root);
    return std::unique_ptr<XcbSession>(new XcbSession(connection, std::move(roots)));
}

XcbSession::XcbSession(xcb_connection_t *connection, std::vector<xcb_window_t> roots)
    : m_connection(connection), m_roots(std::move(roots)),
      m_deadline(std::chrono::steady_clock::now() + sessionTimeout)
{}

XcbSession::~XcbSession()
{
    xcb_disconnect(m_connection);
}

std::vector<XcbReply<void>> XcbSession::replies(const std::vector<unsigned int> &sequences)
{
    using Clock = std::chrono::steady_clock;
    const auto fail = [this](Failure failure) {
        m_failure = failure;
        return std::vector<XcbReply<void>>{};
    };
    if (m_failure != Failure::None)
        return {};
    if (xcb_flush(m_connection) <= 0)
        return fail(Failure::Broken);
    std::vector<XcbReply<void>> collected;
    collected.reserve(sequences.size());
    auto lastAnswer = Clock::now();
    while (collected.size() < sequences.size()) {
        void *reply = nullptr;
        xcb_generic_error_t *error = nullptr;
        // Reads what has arrived without blocking.
        if (xcb_poll_for_reply(m_connection, sequences[collected.size()], &reply, &error)) {
            std::free(error);
            collected.emplace_back(reply);
            lastAnswer = Clock::now();
            continue;
        }
        if (xcb_connection_has_error(m_connection))
            return fail(Failure::Broken);
        const auto now = Clock::now();
        if (now >= m_deadline)
            return fail(Failure::TooLong);
        if (now - lastAnswer >= stallTimeout)
            return fail(Failure::NoAnswer);
        const auto wait = std::min(m_deadline, lastAnswer + stallTimeout) - now;
        pollfd socket{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&socket, 1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
    }
    if (xcb_connection_has_error(m_connection))
        return fail(Failure::Broken); // a broken connection answers every request with nothing
    return collected;
}

std::vector<XcbReply<void>> XcbSession::exchange(size_t count, const Issue &issue)
{
    std::vector<XcbReply<void>> collected;
    std::vector<unsigned int> sequences;
    for (size_t item = 0; item < count && !failed(); ++item) {
        issue(item, sequences);
        if (sequences.size() >= maxAhead || item + 1 == count) {
            auto answered = replies(sequences);
            if (answered.size() != sequences.size())
                return {};
            std::move(answered.begin(), answered.end(), std::back_inserter(collected));
            sequences.clear();
        }
    }
    return failed() ? std::vector<XcbReply<void>>{} : std::move(collected);
}
