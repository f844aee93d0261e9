// The HTTP side of the server, which knows nothing of CIM: connections
// accepted and read concurrently on one thread, the limits a client sending
// nothing cannot exhaust, authentication before a request's body is read,
// keep-alive, and answers streamed as they are made. Each whole request that
// passed those checks goes to the application, which answers it into its sink
// at once or later from another thread.
#ifndef SYVHOST_WBEM_HTTPSERVER_H
#define SYVHOST_WBEM_HTTPSERVER_H

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace boost {
namespace asio {
namespace ssl {
class context;
}
}  // namespace asio
}  // namespace boost

namespace syv {
namespace wbem {

typedef std::vector<std::pair<std::string, std::string>> HeaderList;

typedef std::function<void(int level, const std::string& text)> LogFunction;

struct HttpRequest {
    std::string method;  // "POST"
    std::string target;  // "/cimom"
    unsigned version = 11;  // 10 for HTTP/1.0, 11 for HTTP/1.1
    HeaderList headers;     // as received, in order
    std::string body;
    std::string peer;  // the client's address, for the log
    std::string user;  // the authenticated user; empty when the server asks for no credentials

    // The value of the first header of that name (ASCII case-insensitive);
    // empty when there is none.
    std::string_view Header(std::string_view name) const;
};

struct HttpAnswer {
    int status = 200;  // outside 100 to 599: sent as 500
    // Besides Content-Length, Transfer-Encoding and Connection, which the
    // server sets itself; control characters in values are sent as spaces.
    HeaderList headers;
    std::string body;
};

// Where an answer goes: either one Whole call, or Begin, any number of Part
// calls and End. Every call may come from any thread, one at a time; Part
// may wait while the client has much unsent, so it is never called on the
// network thread (where it would not wait). A call out of turn, or the sink
// dropped before the answer ended, ends the answer: 500 when nothing was
// sent yet, else the connection closes. Once the connection broke, calls
// return at once.
class AnswerSink {
public:
    virtual ~AnswerSink() = default;
    virtual void Whole(HttpAnswer answer) = 0;
    // The status and headers of an answer whose body follows in parts.
    virtual void Begin(const HttpAnswer& head) = 0;
    // The next part of the body.
    virtual void Part(std::string_view part) = 0;
    // The body ends; trailer fields tell a failure that came after Begin, and
    // the body is then incomplete.
    virtual void End(const HeaderList& trailer) = 0;
};

// What the server answers for a request without credentials that pass.
struct AuthOutcome {
    bool accepted = false;
    std::string user;  // as the client gave it, for the log; may hold any byte
};

// Checks an Authorization header's value (empty when the request had none).
// A refusal is answered 401 with WWW-Authenticate: Basic realm="syvhost".
typedef std::function<AuthOutcome(std::string_view authorization)> Authenticator;

class Application {
public:
    virtual ~Application() = default;
    // Network thread, for each whole request that passed the server's own
    // checks. Answers into the sink at once or later from another thread;
    // never blocks, and ends every answer (Whole or End), also after Stop.
    virtual void Handle(HttpRequest request, std::shared_ptr<AnswerSink> sink) = 0;
    // Network thread, once, when the server begins to stop: requests in
    // progress should end soon; their answers are still awaited.
    virtual void Stop() = 0;
};

struct ServerLimits {
    std::size_t maxBodyBytes = 1024 * 1024;  // 413 beyond
    std::size_t maxHeadBytes = 16 * 1024;    // a request head's bytes; 431 beyond
    // A connection must send a whole request head within this many seconds
    // of connecting (or of finishing a TLS handshake), else it is closed.
    int headSeconds = 5;
    // The body must arrive within this, and each write of an answer must
    // progress within it; a connection idle this long after an answer is
    // closed.
    int ioSeconds = 30;
    // Open connections. A full server makes room by closing the connection
    // that has waited longest for a request head (handshaking and idle ones
    // included); only when every connection has a request in progress is a
    // new one refused with 503 (closed under TLS).
    std::size_t maxConnections = 64;
    // Bytes of a streamed answer that may wait for a slow client before the
    // thread making the answer waits too.
    std::size_t maxUnsentBytes = 256 * 1024;
};

// Lets another thread (a service's control handler) stop a server.
class StopControl {
public:
    // Thread-safe and idempotent; before Serve starts, Serve stops at once
    // after it listened.
    void RequestStop();

private:
    friend class ServerRun;
    std::mutex mutex_;
    bool requested_ = false;
    std::function<void()> stop_;  // set while a server runs
};

struct ServerSettings {
    std::string address;  // an IP address
    unsigned short port = 0;  // 0: a free port
    ServerLimits limits;
    // HTTPS with this context; null: plain HTTP.
    std::shared_ptr<boost::asio::ssl::context> tls;
    // Every request must pass it before its body is read; empty: none.
    Authenticator authenticate;
    // Refused connections and requests at level 2; failures to accept
    // connections, and requests whose application threw, at level 1.
    LogFunction log;
};

// Listens, calls listening(baseUrl) ("http://127.0.0.1:5988") once
// connections are accepted, then serves until SIGINT or SIGTERM (Ctrl+C or
// Ctrl+Break on Windows) or control.RequestStop(). On a stop it closes at
// once every connection whose request is not with the application (idle,
// handshaking, reading a head or a body), calls application.Stop(), and
// returns once every request in progress is answered. Throws
// std::runtime_error naming the address when it cannot listen, and what
// listening throws.
void Serve(const ServerSettings& settings, Application& application, StopControl& control,
           const std::function<void(const std::string& baseUrl)>& listening);

// The answer a connection gets for these bytes when they are its whole
// input: the server's own HTTP reading, limits and authentication, then the
// application (whose answer is awaited), without a socket.
HttpAnswer AnswerBytes(const std::string& bytes, const ServerLimits& limits, const Authenticator& authenticate,
                       Application& application);

// "ADDRESS:PORT" ("[::1]:5988" for IPv6) into its parts; throws
// std::invalid_argument naming what is wrong.
void SplitListenAddress(const std::string& listen, std::string& address, unsigned short& port);

}  // namespace wbem
}  // namespace syv

#endif
