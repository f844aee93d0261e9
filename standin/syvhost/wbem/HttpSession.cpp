#include "HttpSession.h"

#include <boost/asio/write.hpp>

#include <chrono>
#include <exception>

namespace syv {
namespace wbem {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// The peer closed the connection or the server did: nothing to answer or log.
bool Closed(const beast::error_code& error) {
#ifdef VELKOR_WBEM_TLS
    if (error == asio::ssl::error::stream_truncated) return true;
#endif
    return error == http::error::end_of_stream || error == asio::error::eof || error == asio::error::operation_aborted ||
           error == asio::error::connection_reset || error == asio::error::connection_aborted ||
           error == asio::error::broken_pipe || error == asio::error::bad_descriptor;
}

}  // namespace

Session::Session(ServerCore& core, tcp::socket socket, std::string peer) : core_(core), peer_(std::move(peer)) {
#ifdef VELKOR_WBEM_TLS
    if (core_.settings.tls) {
        tls_.emplace(std::move(socket), *core_.settings.tls);
        phase_ = Phase::Handshake;
        return;
    }
#endif
    plain_.emplace(std::move(socket));
}

beast::tcp_stream& Session::Tcp() {
#ifdef VELKOR_WBEM_TLS
    if (tls_) return beast::get_lowest_layer(*tls_);
#endif
    return *plain_;
}

void Session::Open() {
    list_ = &core_.open;
    place_ = list_->insert(list_->end(), shared_from_this());
#ifdef VELKOR_WBEM_TLS
    if (tls_) {
        Tcp().expires_after(std::chrono::seconds(core_.settings.limits.headSeconds));
        tls_->async_handshake(asio::ssl::stream_base::server, [self = shared_from_this()](beast::error_code error) {
            if (error) return self->Failed(error, Step::Handshake);
            self->AwaitHead(true);
        });
        return;
    }
#endif
    AwaitHead(true);
}

void Session::Refuse() {
    if (!plain_) return Close();
    list_ = &core_.refused;
    place_ = list_->insert(list_->end(), shared_from_this());
    WriteWhole(Refusal(503), false, true);
}

bool Session::Waiting() const {
    return phase_ == Phase::Handshake || phase_ == Phase::Head || phase_ == Phase::Closing;
}

void Session::Stop() {
    if (phase_ != Phase::Handling) Close();
}

void Session::Close() {
    if (phase_ == Phase::Closed) return;
    phase_ = Phase::Closed;
    const auto self = shared_from_this();  // the list of open connections may hold the last other reference
    Tcp().close();
    if (list_) {
        list_->erase(place_);
        list_ = nullptr;
    }
    if (box_) {
        {
            std::lock_guard<std::mutex> lock(box_->mutex);
            box_->broken = true;
            box_->pending.clear();
        }
        box_->drained.notify_all();
    }
}

// A new connection reads its first request head within the head deadline; a
// kept one waits up to the I/O deadline for the next request to begin.
void Session::AwaitHead(bool fresh) {
    if (phase_ == Phase::Closed) return;  // closed while the last step's success was queued
    if (core_.stopping) return Close();
    phase_ = Phase::Head;
    core_.open.splice(core_.open.end(), core_.open, place_);
    parser_.emplace();
    PrepareParser(*parser_, core_.settings.limits);
    box_.reset();
    if (fresh || buffer_.size() > 0) return ReadHead();
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.ioSeconds));
    WithStream([this](auto& stream) {
        stream.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](beast::error_code error, std::size_t size) {
            if (error) return self->Close();  // closed, or idle too long
            self->buffer_.commit(size);
            self->ReadHead();
        });
    });
}

void Session::ReadHead() {
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.headSeconds));
    WithStream([this](auto& stream) {
        http::async_read_header(stream, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->OnHead(error);
        });
    });
}

void Session::OnHead(const beast::error_code& error) {
    if (phase_ == Phase::Closed) return;
    if (error) return Failed(error, Step::Head);
    phase_ = Phase::Body;
    version_ = parser_->get().version();
    HeadVerdict verdict = CheckHead(*parser_, core_.settings.limits, core_.settings.authenticate, peer_);
    if (!verdict.failure.empty()) core_.Log(2, verdict.failure);
    if (verdict.refusal) {
        if (verdict.closeAfter) phase_ = Phase::Closing;
        return WriteWhole(std::move(*verdict.refusal), !verdict.closeAfter && parser_->get().keep_alive(),
                          verdict.closeAfter);
    }
    user_ = std::move(verdict.user);
    if (!verdict.continueFirst) return ReadBody();
    // The client waits for this before it sends the body.
    auto interim = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.ioSeconds));
    WithStream([this, &interim](auto& stream) {
        http::async_write(stream, *interim, [self = shared_from_this(), interim](beast::error_code error, std::size_t) {
            if (error || self->phase_ == Phase::Closed) return self->Close();
            self->ReadBody();
        });
    });
}

void Session::ReadBody() {
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.ioSeconds));
    WithStream([this](auto& stream) {
        http::async_read(stream, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (self->phase_ == Phase::Closed) return;
            if (error) return self->Failed(error, Step::Body);
            self->Dispatch();
        });
    });
}

void Session::Dispatch() {
    phase_ = Phase::Handling;
    keepAlive_ = parser_->get().keep_alive();
    box_ = std::make_shared<Outbox>();
    box_->work.emplace(core_.io.get_executor());
    auto sink = std::make_shared<HttpSink>(shared_from_this(), box_, core_.io, core_.settings.limits.maxUnsentBytes);
    try {
        core_.application.Handle(RequestOf(*parser_, peer_, std::move(user_)), sink);
    } catch (const std::exception& failure) {
        core_.Log(1, "a request from " + peer_ + " failed: " + failure.what());
        sink->Abandon();
    }
}

void Session::Failed(const beast::error_code& error, Step step) {
    const auto& limits = core_.settings.limits;
    if (Closed(error)) return Close();
    if (error == beast::error::timeout) {
        core_.Log(2, "closed the connection from " + peer_ + ": " +
                         (step == Step::Handshake ? "no TLS handshake within " + std::to_string(limits.headSeconds)
                          : step == Step::Head    ? "no whole request head within " + std::to_string(limits.headSeconds)
                                                  : "no whole request body within " + std::to_string(limits.ioSeconds)) +
                         " seconds");
        return Close();
    }
    if (step == Step::Handshake || error.category() != http::make_error_code(http::error::bad_version).category()) {
        core_.Log(2, "closed the connection from " + peer_ + ": " + error.message());
        return Close();
    }
    core_.Log(2, "a request from " + peer_ + " was refused: " + error.message());
    phase_ = Phase::Closing;
    WriteWhole(RefusalFor(error), false, true);
}

void Session::WriteWhole(HttpAnswer answer, bool keepAlive, bool linger) {
    auto response = std::make_shared<http::response<http::string_body>>(
        ResponseOf(std::move(answer), version_, keepAlive && !core_.stopping));
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.ioSeconds));
    WithStream([this, &response, linger](auto& stream) {
        http::async_write(stream, *response, [self = shared_from_this(), response, linger](beast::error_code error, std::size_t) {
            if (error) return self->Close();
            self->AfterAnswer(response->keep_alive(), linger);
        });
    });
}

// An answer was written whole: the connection waits for the next request,
// or closes; one whose request was not read whole first takes what the
// client still sends, so that the answer is not lost to a reset.
void Session::AfterAnswer(bool keepAlive, bool linger) {
    if (phase_ == Phase::Closed) return;
    if (keepAlive && !core_.stopping) return AwaitHead(false);
    if (linger && !core_.stopping) return Linger();
    ShutdownAndClose();
}

void Session::Linger() {
    phase_ = Phase::Closing;
    beast::error_code ignored;
    Tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
    Tcp().expires_after(std::chrono::seconds(core_.settings.limits.headSeconds));
    discard_.resize(4096);
    Discard();
}

void Session::Discard() {
    Tcp().async_read_some(asio::buffer(discard_), [self = shared_from_this()](beast::error_code error, std::size_t size) {
        self->discarded_ += size;
        if (error || self->discarded_ > self->core_.settings.limits.maxBodyBytes) return self->Close();
        self->Discard();
    });
}

void Session::ShutdownAndClose() {
    beast::error_code ignored;
    Tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
    Close();
}

}  // namespace wbem
}  // namespace syv
