#include "WbemServer.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#ifdef VELKOR_WBEM_TLS
#include <boost/asio/ssl.hpp>
#include <boost/beast/ssl.hpp>
#endif

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace syv {
namespace wbem {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

HttpRequestView ViewOf(http::request<http::string_body>& request, const std::string& peer) {
    HttpRequestView view;
    view.method = std::string(request.method_string());
    view.target = std::string(request.target());
    view.host = std::string(request[http::field::host]);
    view.cimOperation = std::string(request["CIMOperation"]);
    view.cimMethod = std::string(request["CIMMethod"]);
    view.cimObject = std::string(request["CIMObject"]);
    view.authorization = std::string(request[http::field::authorization]);
    view.peer = peer;
    for (const auto& field : request) view.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    view.body = std::move(request.body());
    return view;
}

// What a request that could not be read gets.
HttpAnswer RefusalFor(beast::error_code error) {
    if (error == http::error::body_limit) return WbemHandler::Refusal(413, "");
    return WbemHandler::Refusal(400, "request-not-well-formed");
}

struct Shared {
    asio::io_context& network;
    asio::io_context& plugin;  // one thread: requests are handled one at a time
    const LegacyLimits& limits;
    const WbemHandler& handler;
    const std::function<void(int, const std::string&)>& log;
    bool stopping = false;
};

// The TCP connection under a plain or a TLS stream.
tcp::socket& SocketOf(beast::tcp_stream& stream) { return stream.socket(); }
beast::tcp_stream& TcpOf(beast::tcp_stream& stream) { return stream; }
#ifdef VELKOR_WBEM_TLS
using TlsStream = beast::ssl_stream<beast::tcp_stream>;
tcp::socket& SocketOf(TlsStream& stream) { return beast::get_lowest_layer(stream).socket(); }
beast::tcp_stream& TcpOf(TlsStream& stream) { return beast::get_lowest_layer(stream); }
#endif

// A TLS client that closes the connection without saying so first, as many
// do after their last answer.
bool ClosedWithoutNotice(beast::error_code error) {
#ifdef VELKOR_WBEM_TLS
    return error == asio::ssl::error::stream_truncated;
#else
    (void)error;
    return false;
#endif
}

// An answer collected whole; trailer fields join the headers.
class CollectedAnswer : public AnswerSink {
public:
    HttpAnswer answer;

    void Whole(HttpAnswer whole) override { answer = std::move(whole); }
    void Begin(const HttpAnswer& head) override { answer = head; }
    void Part(std::string_view part) override { answer.body += part; }
    void End(const HeaderList& trailer) override {
        answer.headers.insert(answer.headers.end(), trailer.begin(), trailer.end());
    }
};

// A streamed answer's body on its way from the query thread to the
// connection. The query thread waits while more than kMaxUnsent bytes are
// unsent, so a slow client holds the query, not memory.
struct Outbox {
    static const std::size_t kMaxUnsent = 256 * 1024;

    std::mutex mutex;
    std::condition_variable drained;
    std::optional<HttpAnswer> head;  // to be written first
    std::string pending;             // parts not yet taken by the connection
    std::size_t sending = 0;         // bytes being written
    bool ended = false;
    HeaderList trailer;
    bool broken = false;  // the connection failed: parts are dropped
    bool pumpPosted = false;
};

// What the listener needs of a session of either kind.
class SessionBase {
public:
    virtual ~SessionBase() = default;
    virtual void Start() = 0;
    virtual void Refuse() = 0;
    virtual void Stop() = 0;
};

template <class Stream>
class Session : public SessionBase, public std::enable_shared_from_this<Session<Stream>> {
public:
    template <class... Args>
    Session(Shared& shared, Args&&... args) : stream_(std::forward<Args>(args)...), shared_(shared) {}

    void Start() override {
#ifdef VELKOR_WBEM_TLS
        if constexpr (std::is_same<Stream, TlsStream>::value) {
            TcpOf(stream_).expires_after(std::chrono::seconds(shared_.limits.readSeconds));
            busy_ = true;
            stream_.async_handshake(asio::ssl::stream_base::server, [self = this->shared_from_this()](beast::error_code error) {
                self->busy_ = false;
                if (error) {
                    self->shared_.log(2, "a TLS handshake failed: " + error.message());
                    return self->Close();
                }
                self->ReadHeader();
            });
            return;
        }
#endif
        ReadHeader();
    }

    // Sends 503 and closes: the connection cap is reached. A TLS connection
    // is only closed: an answer would need the handshake first.
    void Refuse() override {
        if (std::is_same<Stream, beast::tcp_stream>::value) return Answer(WbemHandler::Refusal(503, ""), false);
        Close();
    }

    // Closes an idle connection; one whose request is being handled closes
    // after its answer.
    void Stop() override {
        if (!busy_) Close();
    }

private:
    void Close() {
        beast::error_code ignored;
        SocketOf(stream_).shutdown(tcp::socket::shutdown_both, ignored);
        SocketOf(stream_).close(ignored);
    }

    void ReadHeader() {
        parser_.emplace();
        parser_->body_limit(shared_.limits.maxBodyBytes);
        TcpOf(stream_).expires_after(std::chrono::seconds(shared_.limits.readSeconds));
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                                    self->OnHeader(error);
                                });
    }

    void OnHeader(beast::error_code error) {
        if (error) return Failed(error);
        const auto expect = parser_->get().find(http::field::expect);
        if (expect != parser_->get().end() && beast::iequals(expect->value(), "100-continue")) {
            // The client waits for this before it sends the body.
            auto interim = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
            http::async_write(stream_, *interim, [self = this->shared_from_this(), interim](beast::error_code e, std::size_t) {
                if (e) return self->Failed(e);
                self->ReadBody();
            });
            return;
        }
        ReadBody();
    }

    void ReadBody() {
        http::async_read(stream_, buffer_, *parser_, [self = this->shared_from_this()](beast::error_code error, std::size_t) {
            if (error) return self->Failed(error);
            self->Handle();
        });
    }

    void Failed(beast::error_code error) {
        if (error == http::error::end_of_stream || error == beast::error::timeout || error == asio::error::operation_aborted ||
            error == asio::error::connection_reset || error == asio::error::eof || ClosedWithoutNotice(error) ||
            shared_.stopping) {
            return;  // closed, idle too long, or the server stops
        }
        shared_.log(2, "a request was refused: " + error.message());
        Answer(RefusalFor(error), false);
    }

    // The query thread's side of an answer: a whole one is handed over at
    // once, a streamed one through the outbox.
    class Sink : public AnswerSink {
    public:
        explicit Sink(std::shared_ptr<Session> session) : session_(std::move(session)) {}

        void Whole(HttpAnswer answer) override {
            done_ = true;
            auto whole = std::make_shared<HttpAnswer>(std::move(answer));
            asio::post(session_->stream_.get_executor(), [session = session_, whole]() {
                session->Answer(std::move(*whole), session->keepAlive_);
            });
        }

        void Begin(const HttpAnswer& head) override {
            began_ = true;
            Outbox& box = session_->outbox_;
            std::lock_guard<std::mutex> lock(box.mutex);
            box.head = head;
            Schedule(box);
        }

        void Part(std::string_view part) override {
            Outbox& box = session_->outbox_;
            std::unique_lock<std::mutex> lock(box.mutex);
            box.drained.wait(lock, [&box]() { return box.broken || box.pending.size() + box.sending < Outbox::kMaxUnsent; });
            if (box.broken || part.empty()) return;
            box.pending.append(part.data(), part.size());
            Schedule(box);
        }

        void End(const HeaderList& trailer) override {
            done_ = true;
            Outbox& box = session_->outbox_;
            std::lock_guard<std::mutex> lock(box.mutex);
            box.ended = true;
            box.trailer = trailer;
            Schedule(box);
        }

        // A handler that threw still ends its answer.
        void Abandon() {
            if (done_) return;
            if (began_) return End({{"CIMStatusCode", "1"}});
            Whole(WbemHandler::Refusal(500, ""));
        }

    private:
        void Schedule(Outbox& box) {
            if (box.pumpPosted) return;
            box.pumpPosted = true;
            asio::post(session_->stream_.get_executor(), [session = session_]() { session->Pump(); });
        }

        std::shared_ptr<Session> session_;
        bool began_ = false;
        bool done_ = false;
    };

    void Handle() {
        beast::error_code ignored;
        const std::string peer = SocketOf(stream_).remote_endpoint(ignored).address().to_string();
        keepAlive_ = parser_->get().keep_alive();
        chunked_ = parser_->get().version() >= 11;
        auto view = std::make_shared<HttpRequestView>(ViewOf(parser_->get(), peer));
        busy_ = true;
        {
            std::lock_guard<std::mutex> lock(outbox_.mutex);
            outbox_.head.reset();
            outbox_.pending.clear();
            outbox_.sending = 0;
            outbox_.ended = false;
            outbox_.broken = false;
            outbox_.pumpPosted = false;
        }
        // The network thread must not run out of work while the plug-in thread
        // holds the request.
        auto guard = std::make_shared<asio::executor_work_guard<asio::io_context::executor_type>>(
            shared_.network.get_executor());
        asio::post(shared_.plugin, [self = this->shared_from_this(), view, guard]() {
            Sink sink(self);
            try {
                self->shared_.handler.Handle(*view, sink);
            } catch (const std::exception& error) {
                self->shared_.log(1, std::string("a request failed: ") + error.what());
                sink.Abandon();
            }
        });
    }

    // Network thread: writes what the outbox holds, one write at a time.
    void Pump() {
        std::unique_lock<std::mutex> lock(outbox_.mutex);
        outbox_.pumpPosted = false;
        if (writing_ || outbox_.broken) return;
        auto self = this->shared_from_this();
        TcpOf(stream_).expires_after(std::chrono::seconds(shared_.limits.readSeconds));
        if (outbox_.head) {
            auto response = std::make_shared<http::response<http::empty_body>>(
                static_cast<http::status>(outbox_.head->status), 11);
            for (const auto& header : outbox_.head->headers) {
                if (chunked_ || !beast::iequals(header.first, "Trailer")) response->set(header.first, header.second);
            }
            outbox_.head.reset();
            lock.unlock();
            // An HTTP/1.0 client gets the body as it comes, ended by closing.
            response->keep_alive(chunked_ && keepAlive_ && !shared_.stopping);
            if (chunked_) response->chunked(true);
            auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*response);
            writing_ = true;
            http::async_write_header(stream_, *serializer, [self, response, serializer](beast::error_code error, std::size_t) {
                self->Written(error);
            });
            return;
        }
        if (!outbox_.pending.empty()) {
            sendBuffer_.swap(outbox_.pending);
            outbox_.pending.clear();
            outbox_.sending = sendBuffer_.size();
            lock.unlock();
            writing_ = true;
            const auto done = [self](beast::error_code error, std::size_t) { self->Written(error); };
            if (chunked_) {
                asio::async_write(stream_, http::make_chunk(asio::buffer(sendBuffer_)), done);
            } else {
                asio::async_write(stream_, asio::buffer(sendBuffer_), done);
            }
            return;
        }
        if (!outbox_.ended) return;
        outbox_.ended = false;
        HeaderList trailer = std::move(outbox_.trailer);
        lock.unlock();
        if (!chunked_) {
            busy_ = false;
            return Close();
        }
        auto fields = std::make_shared<http::fields>();
        for (const auto& field : trailer) fields->set(field.first, field.second);
        auto last = std::make_shared<http::chunk_last<http::fields>>(*fields);
        writing_ = true;
        asio::async_write(stream_, *last, [self, fields, last](beast::error_code error, std::size_t) {
            self->writing_ = false;
            self->busy_ = false;
            if (error || !self->keepAlive_ || self->shared_.stopping) return self->Close();
            self->ReadHeader();
        });
    }

    // A write of the streamed answer is done: the query thread may go on.
    void Written(beast::error_code error) {
        writing_ = false;
        {
            std::lock_guard<std::mutex> lock(outbox_.mutex);
            outbox_.sending = 0;
            if (error) {
                outbox_.broken = true;
                outbox_.pending.clear();
            }
        }
        outbox_.drained.notify_all();
        if (error) {
            busy_ = false;
            return Close();
        }
        Pump();
    }

    void Answer(HttpAnswer answer, bool keepAlive) {
        busy_ = true;
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(answer.status), 11);
        for (const auto& header : answer.headers) response->set(header.first, header.second);
        response->body() = std::move(answer.body);
        response->keep_alive(keepAlive && !shared_.stopping);
        response->prepare_payload();
        TcpOf(stream_).expires_after(std::chrono::seconds(shared_.limits.readSeconds));
        http::async_write(stream_, *response, [self = this->shared_from_this(), response](beast::error_code error, std::size_t) {
            self->busy_ = false;
            if (error || !response->keep_alive() || self->shared_.stopping) {
                return self->Close();
            }
            self->ReadHeader();
        });
    }

    Stream stream_;
    Shared& shared_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    bool busy_ = false;
    bool keepAlive_ = false;
    bool chunked_ = false;    // HTTP/1.1: a streamed answer is chunked
    bool writing_ = false;    // network thread: a write of the streamed answer is under way
    std::string sendBuffer_;  // network thread: the part being written
    Outbox outbox_;
};

class Listener {
public:
    Listener(Shared& shared, const tcp::endpoint& endpoint, const TlsFiles& tls)
        : shared_(shared), acceptor_(shared.network) {
        if (!tls.certificate.empty()) {
#ifdef VELKOR_WBEM_TLS
            tls_.emplace(asio::ssl::context::tls_server);
            tls_->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                              asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                              asio::ssl::context::no_tlsv1_1);
            try {
                tls_->use_certificate_chain_file(tls.certificate);
                tls_->use_private_key_file(tls.key, asio::ssl::context::pem);
            } catch (const boost::system::system_error& error) {
                throw std::runtime_error("cannot use the TLS certificate " + tls.certificate + " and key " + tls.key +
                                         ": " + error.code().message());
            }
#else
            throw std::runtime_error("this build has no TLS");
#endif
        }
        acceptor_.open(endpoint.protocol());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind(endpoint);
        acceptor_.listen(asio::socket_base::max_listen_connections);
    }

    tcp::endpoint Endpoint() const { return acceptor_.local_endpoint(); }

    void Accept() {
        acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
            if (shared_.stopping) return;
            if (!error) {
                std::shared_ptr<SessionBase> session;
#ifdef VELKOR_WBEM_TLS
                if (tls_) session = std::make_shared<Session<TlsStream>>(shared_, std::move(socket), *tls_);
#endif
                if (!session) session = std::make_shared<Session<beast::tcp_stream>>(shared_, std::move(socket));
                Open(session);
            }
            Accept();
        });
    }

    bool Secure() const {
#ifdef VELKOR_WBEM_TLS
        return tls_.has_value();
#else
        return false;
#endif
    }

    void Stop() {
        beast::error_code ignored;
        acceptor_.close(ignored);
        for (const auto& weak : sessions_) {
            if (auto session = weak.lock()) session->Stop();
        }
    }

private:
    // Starts the session, or refuses it past the connection cap.
    void Open(const std::shared_ptr<SessionBase>& session) {
        std::vector<std::weak_ptr<SessionBase>> live;
        for (const auto& weak : sessions_) {
            if (!weak.expired()) live.push_back(weak);
        }
        sessions_ = std::move(live);
        if (sessions_.size() >= shared_.limits.maxConnections) {
            shared_.log(2, "a connection was refused: too many open connections");
            session->Refuse();
        } else {
            sessions_.push_back(session);
            session->Start();
        }
    }

    Shared& shared_;
    tcp::acceptor acceptor_;
    std::vector<std::weak_ptr<SessionBase>> sessions_;
#ifdef VELKOR_WBEM_TLS
    std::optional<asio::ssl::context> tls_;
#endif
};

}  // namespace

HttpAnswer AnswerBytes(const WbemHandler& handler, const std::string& bytes, const LegacyLimits& limits) {
    http::request_parser<http::string_body> parser;
    parser.body_limit(limits.maxBodyBytes);
    parser.eager(true);
    beast::error_code error;
    for (std::size_t at = 0; at < bytes.size() && !parser.is_done();) {
        const std::size_t used = parser.put(asio::buffer(bytes.data() + at, bytes.size() - at), error);
        if (error == http::error::need_more) error = {};
        if (error || used == 0) break;
        at += used;
    }
    if (!error && !parser.is_done()) parser.put_eof(error);
    if (error) return RefusalFor(error);
    CollectedAnswer collected;
    handler.Handle(ViewOf(parser.get(), "127.0.0.1"), collected);
    return std::move(collected.answer);
}

void SplitListenAddress(const std::string& listen, std::string& address, unsigned short& port) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon + 1 == listen.size()) {
        throw std::invalid_argument("--listen takes ADDRESS:PORT, not " + listen);
    }
    address = listen.substr(0, colon);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);
    }
    const std::string digits = listen.substr(colon + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos || std::stoul(digits) > 65535) {
        throw std::invalid_argument("--listen: the port " + digits + " is not a number from 0 to 65535");
    }
    port = static_cast<unsigned short>(std::stoul(digits));
}

void Serve(const std::string& address, unsigned short port, const LegacyLimits& limits, const TlsFiles& tls,
           const WbemHandler& handler, const std::function<void(int, const std::string&)>& log) {
    asio::io_context network(1);
    asio::io_context plugin(1);
    Shared shared{network, plugin, limits, handler, log};

    beast::error_code error;
    const asio::ip::address ip = asio::ip::make_address(address, error);
    if (error) throw std::runtime_error("cannot listen on " + address + ": not an IP address");
    std::unique_ptr<Listener> listener;
    try {
        listener.reset(new Listener(shared, tcp::endpoint(ip, port), tls));
    } catch (const boost::system::system_error& listenError) {
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                                 listenError.code().message());
    }

    asio::signal_set signals(network, SIGINT, SIGTERM);
#ifdef SIGBREAK
    signals.add(SIGBREAK);
#endif
    signals.async_wait([&](beast::error_code waitError, int) {
        if (waitError) return;
        shared.stopping = true;
        listener->Stop();
    });
    listener->Accept();

    const tcp::endpoint endpoint = listener->Endpoint();
    const std::string host = endpoint.address().is_v6() ? "[" + endpoint.address().to_string() + "]"
                                                        : endpoint.address().to_string();
    const std::string url = (listener->Secure() ? "https://" : "http://") + host + ":" + std::to_string(endpoint.port()) + "\n";
    if (std::fwrite(url.data(), 1, url.size(), stdout) != url.size() || std::fflush(stdout) != 0) {
        throw std::runtime_error("cannot write the server's address to standard output");
    }

    auto pluginWork = asio::make_work_guard(plugin);
    std::thread pluginThread([&plugin]() { plugin.run(); });
    try {
        network.run();
    } catch (...) {
        pluginWork.reset();
        plugin.stop();
        pluginThread.join();
        throw;
    }
    pluginWork.reset();
    pluginThread.join();
}

}  // namespace wbem
}  // namespace syv
