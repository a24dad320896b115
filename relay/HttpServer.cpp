// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <optional>
#include <unordered_map>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

class Connection;

} // namespace

// Everything here is touched on the I/O thread only, but for the weak
// reference answers from other threads lock to post there. The io_context is
// declared first so it goes last: its pending handlers still hold connections.
struct HttpServer::State
{
    asio::io_context io{1};
    HttpLimits limits;
    Handler handler;
    std::optional<tcp::acceptor> acceptor;
    asio::steady_timer acceptPause{io};
    std::unordered_map<std::string, int> perAddress;
    std::unordered_map<std::uint64_t, std::shared_ptr<Connection>> awaitingAnswer;
    std::uint64_t nextId = 1;
    std::weak_ptr<State> self; // for answers from other threads

    void accept();
    void deliver(std::uint64_t id, HttpResponseMessage response);
};

namespace {

class Connection : public std::enable_shared_from_this<Connection>
{
public:
    Connection(HttpServer::State &server, std::weak_ptr<HttpServer::State> weakServer,
               tcp::socket socket, std::string address)
        : m_server(server), m_weakServer(std::move(weakServer)), m_stream(std::move(socket)),
          m_address(std::move(address))
    {}

    void readHead()
    {
        m_parser.emplace();
        m_parser->header_limit(std::uint32_t(m_server.limits.headerBytes));
        m_parser->body_limit(m_server.limits.bodyBytes);
        m_stream.expires_after(m_server.limits.readTimeout);
        http::async_read_header(
            m_stream, m_buffer, *m_parser,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHead(ec); });
    }

    void answer(HttpResponseMessage response)
    {
        response.keep_alive(m_keepAlive);
        response.prepare_payload();
        m_response = std::make_shared<HttpResponseMessage>(std::move(response));
        m_stream.expires_after(m_server.limits.writeTimeout);
        http::async_write(m_stream, *m_response,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              self->m_response.reset();
                              if (ec || !self->m_keepAlive)
                                  return self->finish();
                              self->readHead();
                          });
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
        if (--m_server.perAddress[m_address] == 0)
            m_server.perAddress.erase(m_address);
    }

private:
    void onHead(beast::error_code ec)
    {
        if (refused(ec))
            return;
        if (http::fields const &head = m_parser->get();
            beast::iequals(head[http::field::expect], "100-continue")) {
            auto proceed = std::make_shared<http::response<http::empty_body>>(
                http::status::continue_, m_parser->get().version());
            http::async_write(
                m_stream, *proceed,
                [self = shared_from_this(), proceed](beast::error_code ec, std::size_t) {
                    if (ec)
                        return self->finish();
                    self->readBody();
                });
            return;
        }
        readBody();
    }

    void readBody()
    {
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             self->onRequest(ec);
                         });
    }

    void onRequest(beast::error_code ec)
    {
        if (refused(ec))
            return;
        m_stream.expires_never(); // the handler bounds its own time
        HttpRequestMessage request = m_parser->release();
        m_keepAlive = request.keep_alive();
        const std::uint64_t id = m_server.nextId++;
        m_server.awaitingAnswer.emplace(id, shared_from_this());
        HttpRespond respond = [weak = m_weakServer, id](HttpResponseMessage response) {
            if (const auto server = weak.lock())
                asio::post(server->io,
                           [raw = server.get(), id, response = std::move(response)]() mutable {
                               raw->deliver(id, std::move(response));
                           });
        };
        m_server.handler(IncomingRequest{std::move(request), m_address}, std::move(respond));
    }

    // Ends the connection for a read that failed, answering first when the
    // client is owed a reason; true when the request cannot be served.
    bool refused(beast::error_code ec)
    {
        if (!ec)
            return false;
        http::status status;
        if (ec == http::error::header_limit)
            status = http::status::request_header_fields_too_large;
        else if (ec == http::error::body_limit)
            status = http::status::payload_too_large;
        else if (ec.category() == http::make_error_code(http::error::bad_target).category() &&
                 ec != http::error::end_of_stream && ec != http::error::partial_message)
            status = http::status::bad_request;
        else {
            // Closed, reset, or timed out (tcp_stream has closed the socket then).
            finish();
            return true;
        }
        m_keepAlive = false;
        HttpResponseMessage response{status, 11};
        response.set(http::field::content_type, "application/json");
        response.body() = "{\"statusCode\":" + std::to_string(unsigned(status)) +
                          ",\"name\":\"validation_error\",\"message\":\"" +
                          std::string(http::obsolete_reason(status)) + "\"}";
        answer(std::move(response));
        return true;
    }

    HttpServer::State &m_server;
    std::weak_ptr<HttpServer::State> m_weakServer;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer{16 * 1024};
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::shared_ptr<HttpResponseMessage> m_response;
    std::string m_address;
    bool m_keepAlive = false;
    bool m_finished = false;
};

} // namespace

void HttpServer::State::accept()
{
    acceptor->async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted)
            return;
        if (ec) {
            // Out of descriptors: idle clients time out, then accepting resumes.
            acceptPause.expires_after(std::chrono::milliseconds(100));
            acceptPause.async_wait([this](beast::error_code waited) {
                if (!waited)
                    accept();
            });
            return;
        }
        beast::error_code addressError;
        const auto peer = socket.remote_endpoint(addressError);
        if (!addressError) {
            std::string address = peer.address().to_string();
            int &open = perAddress[address];
            if (open < limits.connectionsPerAddress) {
                ++open;
                auto connection = std::make_shared<Connection>(*this, self, std::move(socket),
                                                               std::move(address));
                connection->readHead();
            } // else the socket closes here: that address has its share
        }
        accept();
    });
}

void HttpServer::State::deliver(std::uint64_t id, HttpResponseMessage response)
{
    const auto it = awaitingAnswer.find(id);
    if (it == awaitingAnswer.end())
        return;
    const std::shared_ptr<Connection> connection = std::move(it->second);
    awaitingAnswer.erase(it);
    connection->answer(std::move(response));
}

HttpServer::HttpServer(HttpLimits limits, Handler handler) : m_state(std::make_shared<State>())
{
    m_state->limits = limits;
    m_state->handler = std::move(handler);
}

HttpServer::~HttpServer()
{
    m_state->io.stop();
    if (m_thread.joinable())
        m_thread.join();
}

std::variant<unsigned short, std::string> HttpServer::listen(const std::string &address,
                                                             unsigned short port)
{
    beast::error_code ec;
    const auto ip = asio::ip::make_address(address, ec);
    if (ec)
        return "not an IP address: " + address;
    tcp::acceptor acceptor(m_state->io);
    const tcp::endpoint endpoint(ip, port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        return ec.message();
    const unsigned short bound = acceptor.local_endpoint().port();
    m_state->acceptor.emplace(std::move(acceptor));
    m_state->self = m_state;
    m_state->accept();
    m_thread = std::thread([state = m_state.get()] { state->io.run(); });
    return bound;
}
