// One accepted connection: it reads requests, writes their answers and
// closes; every step handles its own error. The listener only accepts. All
// of it runs on the network thread, except the sink through which the
// application answers from its own thread.
#ifndef SYVHOST_WBEM_HTTPSESSION_H
#define SYVHOST_WBEM_HTTPSESSION_H

#include "HttpMessage.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#ifdef VELKOR_WBEM_TLS
#include <boost/beast/ssl.hpp>
#endif

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace syv {
namespace wbem {

class Session;

// What the listener and the connections share; network thread only.
struct ServerCore {
    boost::asio::io_context& io;
    const ServerSettings& settings;
    Application& application;
    bool stopping = false;
    // The open connections, in the order they began to wait for a request
    // head: the first waiting one makes room for a new connection.
    std::list<std::shared_ptr<Session>> open;
    std::list<std::shared_ptr<Session>> refused;  // past the cap, answered 503 and closing

    void Log(int level, const std::string& text) const {
        if (settings.log) settings.log(level, text);
    }
};

// One answer on its way from the application's thread to the connection.
struct Outbox {
    std::mutex mutex;
    std::condition_variable drained;  // a write finished or the connection broke
    // Serve returns only once the answer ended.
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work;
    bool began = false;
    bool done = false;  // the application called Whole or End, or dropped the sink
    std::optional<HttpAnswer> whole;
    std::optional<HttpAnswer> head;  // of a streamed answer, to be written first
    std::string pending;             // parts not yet taken by the connection
    std::size_t sending = 0;         // bytes being written
    bool ended = false;
    HeaderList trailer;
    bool abandoned = false;  // a streamed answer dropped unended: the connection closes
    bool broken = false;     // the connection closed: parts are dropped
    bool posted = false;     // the network thread will look at it
};

// The application's side of an answer. Whatever the application does wrong
// (a call out of turn, the sink dropped unended) ends the answer: with 500
// when nothing was sent yet, else by closing the connection.
class HttpSink : public AnswerSink {
public:
    HttpSink(const std::shared_ptr<Session>& session, std::shared_ptr<Outbox> box, boost::asio::io_context& io,
             std::size_t maxUnsent);
    ~HttpSink() override;
    void Whole(HttpAnswer answer) override;
    void Begin(const HttpAnswer& head) override;
    void Part(std::string_view part) override;
    void End(const HeaderList& trailer) override;
    void Abandon();

private:
    void AbandonLocked();
    void Post();

    std::weak_ptr<Session> session_;
    std::shared_ptr<Outbox> box_;
    boost::asio::io_context& io_;
    std::size_t maxUnsent_;
};

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(ServerCore& core, boost::asio::ip::tcp::socket socket, std::string peer);

    // Joins the open connections and waits for a TLS handshake or a request head.
    void Open();
    // A connection past the cap: 503 (only closed under TLS); it joins the
    // refused ones, which count for no cap.
    void Refuse();
    // Handshaking, waiting for a request head or closing: may be closed to make room.
    bool Waiting() const;
    // The server stops: closes at once unless a request is with the
    // application, whose answer then closes the connection.
    void Stop();
    void Close();
    const std::string& Peer() const { return peer_; }

    // Writes what the outbox holds, one write at a time (HttpStreaming.cpp).
    void Pump();

private:
    enum class Phase { Handshake, Head, Body, Handling, Closing, Closed };
    enum class Step { Handshake, Head, Body };

    boost::beast::tcp_stream& Tcp();
    template <class Operation>
    void WithStream(Operation&& operation);

    void AwaitHead(bool fresh);
    void ReadHead();
    void OnHead(const boost::beast::error_code& error);
    void ReadBody();
    void Dispatch();
    void Failed(const boost::beast::error_code& error, Step step);
    void WriteWhole(HttpAnswer answer, bool keepAlive, bool linger);
    void AfterAnswer(bool keepAlive, bool linger);
    void Linger();
    void Discard();
    void ShutdownAndClose();
    void StreamHead(HttpAnswer head);
    void StreamWritten(const boost::beast::error_code& error);

    ServerCore& core_;
    std::string peer_;
    std::optional<boost::beast::tcp_stream> plain_;
#ifdef VELKOR_WBEM_TLS
    std::optional<boost::beast::ssl_stream<boost::beast::tcp_stream>> tls_;
#endif
    Phase phase_ = Phase::Head;
    std::list<std::shared_ptr<Session>>* list_ = nullptr;  // open or refused
    std::list<std::shared_ptr<Session>>::iterator place_;
    boost::beast::flat_buffer buffer_;
    std::optional<RequestParser> parser_;
    std::string user_;
    unsigned version_ = 11;
    bool keepAlive_ = false;
    std::shared_ptr<Outbox> box_;  // the answer in progress
    bool writing_ = false;         // a write of a streamed answer is under way
    std::string sendBuffer_;       // the part being written
    std::vector<char> discard_;    // what a closing connection still receives
    std::size_t discarded_ = 0;
};

// Calls operation(stream) with the connection's plain or TLS stream.
template <class Operation>
void Session::WithStream(Operation&& operation) {
#ifdef VELKOR_WBEM_TLS
    if (tls_) return operation(*tls_);
#endif
    operation(*plain_);
}

}  // namespace wbem
}  // namespace syv

#endif
