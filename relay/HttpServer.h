// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <variant>

// What a client may cost the server before it is answered or dropped.
struct HttpLimits
{
    std::size_t headerBytes = 8 * 1024;
    std::size_t bodyBytes = 256 * 1024;
    // From the moment the server waits for a request to its last byte: a
    // client idle or slow for this long is dropped.
    std::chrono::seconds readTimeout{10};
    std::chrono::seconds writeTimeout{10};
    int connectionsPerAddress = 32;
};

using HttpRequestMessage = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponseMessage = boost::beast::http::response<boost::beast::http::string_body>;

// A complete request and the peer's address ("127.0.0.1", "::1").
struct IncomingRequest
{
    HttpRequestMessage message;
    std::string peerAddress;
};

// Answers one request; may be called from any thread, once.
using HttpRespond = std::function<void(HttpResponseMessage)>;

// An HTTP/1.1 server on Boost.Beast for a server that faces the internet:
// the head of a request (at most headerBytes) is read and judged before its
// body, a body is never read past bodyBytes (413) whatever it declares, a
// client that is idle or slow is dropped after readTimeout, and one address
// holds at most connectionsPerAddress connections (more are closed at once).
// Its I/O runs on a thread of its own; the handler is called there and must
// hand the work elsewhere rather than block. Requests on a connection are
// answered one at a time.
class HttpServer
{
public:
    using Handler = std::function<void(IncomingRequest, HttpRespond)>;

    HttpServer(HttpLimits limits, Handler handler);
    ~HttpServer(); // stops at once; answers still to come are dropped
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and starts serving; the bound port, or why not.
    std::variant<unsigned short, std::string> listen(const std::string &address,
                                                     unsigned short port);

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};
