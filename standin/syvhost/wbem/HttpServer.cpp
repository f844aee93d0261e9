// The listener: it accepts connections, makes room for them, and stops the
// server. Everything runs on the thread that called Serve.
#include "HttpServer.h"

#include "HttpSession.h"
#include "ListenSocket.h"

#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace syv {
namespace wbem {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;

void StopControl::RequestStop() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    if (stop_) stop_();
}

class ServerRun {
public:
    ServerRun(asio::io_context& io, const ServerSettings& settings, Application& application, StopControl& control)
        : core_{io, settings, application, false, {}, {}}, control_(control), acceptor_(io), signals_(io, SIGINT, SIGTERM), retry_(io) {
#ifdef SIGBREAK
        signals_.add(SIGBREAK);
#endif
#ifndef VELKOR_WBEM_TLS
        if (settings.tls) throw std::runtime_error("cannot serve HTTPS: this build has no TLS");
#endif
        beast::error_code error;
        const asio::ip::address ip = asio::ip::make_address(settings.address, error);
        if (error) throw std::runtime_error("cannot listen on " + settings.address + ": not an IP address");
        const tcp::endpoint endpoint(ip, settings.port);
        try {
            acceptor_.open(endpoint.protocol());
            SetListenOptions(acceptor_);
            acceptor_.bind(endpoint);
            acceptor_.listen(asio::socket_base::max_listen_connections);
        } catch (const boost::system::system_error& failure) {
            throw std::runtime_error("cannot listen on " + HostPort(endpoint) + ": " +
                                     (PortInUse(failure.code()) ? "the port is already in use" : failure.code().message()));
        }
    }

    ~ServerRun() {
        std::lock_guard<std::mutex> lock(control_.mutex_);
        control_.stop_ = nullptr;
    }

    std::string BaseUrl() const {
        return (core_.settings.tls ? "https://" : "http://") + HostPort(acceptor_.local_endpoint());
    }

    // Accepts and waits for a signal; a stop asked before comes at once.
    void Start() {
        signals_.async_wait([this](beast::error_code error, int) {
            if (!error) Stop();
        });
        Accept();
        std::lock_guard<std::mutex> lock(control_.mutex_);
        control_.stop_ = [this]() { asio::post(core_.io, [this]() { Stop(); }); };
        if (control_.requested_) control_.stop_();
    }

private:
    static std::string HostPort(const tcp::endpoint& endpoint) {
        const std::string host = endpoint.address().to_string();
        return (endpoint.address().is_v6() ? "[" + host + "]" : host) + ":" + std::to_string(endpoint.port());
    }

    void Accept() {
        acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
            if (core_.stopping) return;
            if (error) return AcceptFailed(error);
            if (acceptFailing_) {
                acceptFailing_ = false;
                core_.Log(1, "accepting connections again");
            }
            backoff_ = std::chrono::milliseconds(0);
            Admit(std::move(socket));
            Accept();
        });
    }

    // A client that left before its connection was accepted costs nothing;
    // anything else (out of file descriptors, sockets or memory) would fail
    // again at once, so it is retried after a pause that grows to a second.
    void AcceptFailed(const beast::error_code& error) {
        if (error == asio::error::connection_aborted || error == asio::error::connection_reset ||
            error == asio::error::would_block || error == asio::error::try_again || error == asio::error::interrupted) {
            return Accept();
        }
        if (!acceptFailing_) {
            acceptFailing_ = true;
            core_.Log(1, "cannot accept connections: " + error.message() + "; retrying");
        }
        backoff_ = std::min(std::chrono::milliseconds(1000), std::max(std::chrono::milliseconds(100), backoff_ * 2));
        retry_.expires_after(backoff_);
        retry_.async_wait([this](beast::error_code waitError) {
            if (!waitError && !core_.stopping) Accept();
        });
    }

    // A full server makes room by closing the connection that has waited
    // longest for a request head; only when every one has a request in
    // progress is the new one refused.
    void Admit(tcp::socket socket) {
        beast::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        if (error) return;  // the client left already
        auto session = std::make_shared<Session>(core_, std::move(socket), peer.address().to_string());
        if (core_.open.size() >= core_.settings.limits.maxConnections) {
            std::shared_ptr<Session> oldest;
            for (const auto& open : core_.open) {
                if (open->Waiting()) {
                    oldest = open;
                    break;
                }
            }
            if (!oldest) {
                core_.Log(2, "refused a connection from " + session->Peer() + ": every connection has a request in progress");
                return session->Refuse();
            }
            core_.Log(2, "closed the connection from " + oldest->Peer() + " to make room: it had no request in progress");
            oldest->Close();
        }
        session->Open();
    }

    // Stops accepting, closes every connection without a request in
    // progress, and tells the application; the answers in progress are still
    // written.
    void Stop() {
        if (core_.stopping) return;
        core_.stopping = true;
        beast::error_code ignored;
        acceptor_.close(ignored);
        signals_.cancel(ignored);
        retry_.cancel();
        for (auto* sessions : {&core_.open, &core_.refused}) {
            const auto copy = *sessions;  // closing removes them from the list
            for (const auto& session : copy) session->Stop();
        }
        core_.application.Stop();
    }

    ServerCore core_;
    StopControl& control_;
    tcp::acceptor acceptor_;
    asio::signal_set signals_;
    asio::steady_timer retry_;
    std::chrono::milliseconds backoff_{0};
    bool acceptFailing_ = false;
};

void Serve(const ServerSettings& settings, Application& application, StopControl& control,
           const std::function<void(const std::string& baseUrl)>& listening) {
    asio::io_context io(1);
    ServerRun run(io, settings, application, control);
    listening(run.BaseUrl());
    run.Start();
    io.run();
}

}  // namespace wbem
}  // namespace syv
