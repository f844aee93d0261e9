// Answers on their way from the application's thread to the connection: the
// sink hands them over through the outbox, and the connection writes them
// one write at a time. While more than maxUnsentBytes of a streamed answer
// wait for a slow client, the thread making the answer waits too, so that a
// slow client holds that thread rather than memory.
#include "HttpSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <chrono>

namespace syv {
namespace wbem {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

HttpSink::HttpSink(const std::shared_ptr<Session>& session, std::shared_ptr<Outbox> box, asio::io_context& io,
                   std::size_t maxUnsent)
    : session_(session), box_(std::move(box)), io_(io), maxUnsent_(maxUnsent) {}

HttpSink::~HttpSink() { Abandon(); }

void HttpSink::Abandon() {
    std::lock_guard<std::mutex> lock(box_->mutex);
    AbandonLocked();
}

void HttpSink::AbandonLocked() {
    if (box_->done) return;
    if (box_->began) {
        box_->abandoned = true;
    } else {
        box_->whole = Refusal(500);
    }
    box_->done = true;
    Post();
    box_->work.reset();
}

void HttpSink::Post() {
    if (box_->posted) return;
    box_->posted = true;
    asio::post(io_, [session = session_]() {
        if (auto alive = session.lock()) alive->Pump();
    });
}

void HttpSink::Whole(HttpAnswer answer) {
    std::lock_guard<std::mutex> lock(box_->mutex);
    if (box_->done || box_->began) return AbandonLocked();
    box_->whole = std::move(answer);
    box_->done = true;
    Post();
    box_->work.reset();
}

void HttpSink::Begin(const HttpAnswer& head) {
    std::lock_guard<std::mutex> lock(box_->mutex);
    if (box_->done || box_->began) return AbandonLocked();
    box_->began = true;
    box_->head = head;
    Post();
}

void HttpSink::Part(std::string_view part) {
    std::unique_lock<std::mutex> lock(box_->mutex);
    if (box_->done || !box_->began) return AbandonLocked();
    Outbox& box = *box_;
    // The network thread itself must never wait for its own writes.
    if (!io_.get_executor().running_in_this_thread()) {
        const std::size_t most = std::max<std::size_t>(maxUnsent_, 1);
        box.drained.wait(lock, [&box, most]() { return box.broken || box.pending.size() + box.sending < most; });
    }
    if (box.broken || part.empty()) return;
    box.pending.append(part.data(), part.size());
    Post();
}

void HttpSink::End(const HeaderList& trailer) {
    std::lock_guard<std::mutex> lock(box_->mutex);
    if (box_->done || !box_->began) return AbandonLocked();
    box_->ended = true;
    box_->trailer = trailer;
    box_->done = true;
    Post();
    box_->work.reset();
}

void Session::Pump() {
    if (!box_ || phase_ == Phase::Closed) return;
    std::unique_lock<std::mutex> lock(box_->mutex);
    box_->posted = false;
    if (writing_) return;
    const auto ioTime = std::chrono::seconds(core_.settings.limits.ioSeconds);
    const bool chunked = version_ >= 11;
    if (box_->whole) {
        HttpAnswer whole = std::move(*box_->whole);
        box_->whole.reset();
        lock.unlock();
        return WriteWhole(std::move(whole), keepAlive_, false);
    }
    if (box_->head) {
        auto response = std::make_shared<http::response<http::empty_body>>(
            StreamedHeadOf(*box_->head, version_, keepAlive_ && !core_.stopping));
        box_->head.reset();
        lock.unlock();
        auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*response);
        writing_ = true;
        Tcp().expires_after(ioTime);
        return WithStream([this, &response, &serializer](auto& stream) {
            http::async_write_header(stream, *serializer,
                                     [self = shared_from_this(), response, serializer](beast::error_code error, std::size_t) {
                                         self->StreamWritten(error);
                                     });
        });
    }
    if (!box_->pending.empty()) {
        sendBuffer_.swap(box_->pending);
        box_->pending.clear();
        box_->sending = sendBuffer_.size();
        lock.unlock();
        writing_ = true;
        Tcp().expires_after(ioTime);
        const auto written = [self = shared_from_this()](beast::error_code error, std::size_t) { self->StreamWritten(error); };
        return WithStream([this, chunked, &written](auto& stream) {
            if (chunked) return asio::async_write(stream, http::make_chunk(asio::buffer(sendBuffer_)), written);
            asio::async_write(stream, asio::buffer(sendBuffer_), written);
        });
    }
    if (box_->abandoned) {
        lock.unlock();
        core_.Log(1, "the answer to a request from " + peer_ + " ended unfinished; the connection is closed");
        return Close();
    }
    if (!box_->ended) return;
    box_->ended = false;
    HeaderList trailer = std::move(box_->trailer);
    lock.unlock();
    if (!chunked) return ShutdownAndClose();  // the end of the body
    auto fields = std::make_shared<http::fields>();
    CopyHeaders(trailer, *fields);
    auto last = std::make_shared<http::chunk_last<http::fields>>(*fields);
    writing_ = true;
    Tcp().expires_after(ioTime);
    WithStream([this, &fields, &last](auto& stream) {
        asio::async_write(stream, *last, [self = shared_from_this(), fields, last](beast::error_code error, std::size_t) {
            self->writing_ = false;
            if (error) return self->Close();
            self->AfterAnswer(self->keepAlive_, false);
        });
    });
}

// A write of a streamed answer finished: the application may go on.
void Session::StreamWritten(const beast::error_code& error) {
    writing_ = false;
    if (error) return Close();
    {
        std::lock_guard<std::mutex> lock(box_->mutex);
        box_->sending = 0;
    }
    box_->drained.notify_all();
    Pump();
}

}  // namespace wbem
}  // namespace syv
