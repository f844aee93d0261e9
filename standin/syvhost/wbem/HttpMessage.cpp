#include "HttpMessage.h"

#include "syvcore/ReportText.h"

#include <boost/asio/buffer.hpp>

#include <condition_variable>
#include <limits>
#include <mutex>
#include <stdexcept>

namespace syv {
namespace wbem {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

const char* const kChallenge = "Basic realm=\"syvhost\"";

bool NamesEqual(std::string_view a, std::string_view b) {
    return beast::iequals(beast::string_view(a.data(), a.size()), beast::string_view(b.data(), b.size()));
}

bool IsToken(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || std::string_view("\"(),/:;<=>?@[\\]{}").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const auto& header : headers) {
        if (NamesEqual(header.first, name)) return header.second;
    }
    return std::string_view();
}

void PrepareParser(RequestParser& parser, const ServerLimits& limits) {
    parser.header_limit(static_cast<std::uint32_t>(std::min<std::size_t>(limits.maxHeadBytes, UINT32_MAX)));
    // A Content-Length past the limit is refused once the credentials passed.
    parser.body_limit(std::numeric_limits<std::uint64_t>::max());
}

HttpAnswer Refusal(int status) {
    HttpAnswer answer;
    answer.status = status;
    if (status == 400) answer.headers.emplace_back("CIMError", "request-not-well-formed");
    return answer;
}

HttpAnswer RefusalFor(const beast::error_code& error) {
    if (error == http::error::body_limit) return Refusal(413);
    if (error == http::error::header_limit) return Refusal(431);
    return Refusal(400);
}

HeadVerdict CheckHead(RequestParser& parser, const ServerLimits& limits, const Authenticator& authenticate,
                      const std::string& peer) {
    HeadVerdict verdict;
    const auto& head = parser.get();
    const boost::optional<std::uint64_t> length = parser.content_length();
    const bool bodyAnnounced = parser.chunked() || (length && *length > 0);
    if (authenticate) {
        const auto authorization = head[http::field::authorization];
        AuthOutcome outcome = authenticate(std::string_view(authorization.data(), authorization.size()));
        if (!outcome.accepted) {
            verdict.failure = authorization.empty()
                                  ? "a request without credentials from " + peer + " was refused"
                                  : "authentication failed for the user \"" + TerminalText(outcome.user) + "\" from " + peer;
            verdict.refusal = Refusal(401);
            verdict.refusal->headers.emplace_back("WWW-Authenticate", kChallenge);
            verdict.closeAfter = bodyAnnounced;
            return verdict;
        }
        verdict.user = std::move(outcome.user);
    }
    if (length && *length > limits.maxBodyBytes) {
        verdict.refusal = Refusal(413);
        verdict.closeAfter = true;
        return verdict;
    }
    parser.body_limit(limits.maxBodyBytes);
    const auto expect = head.find(http::field::expect);
    verdict.continueFirst = head.version() >= 11 && bodyAnnounced && expect != head.end() &&
                            beast::iequals(expect->value(), "100-continue");
    return verdict;
}

HttpRequest RequestOf(RequestParser& parser, std::string peer, std::string user) {
    auto& message = parser.get();
    HttpRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    request.version = message.version();
    for (const auto& field : message) request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    request.body = std::move(message.body());
    request.peer = std::move(peer);
    request.user = std::move(user);
    return request;
}

void CopyHeaders(const HeaderList& headers, http::fields& fields) {
    for (const auto& header : headers) {
        const std::string& name = header.first;
        if (!IsToken(name) || NamesEqual(name, "Content-Length") || NamesEqual(name, "Transfer-Encoding") ||
            NamesEqual(name, "Connection")) {
            continue;
        }
        std::string value = header.second;
        for (char& c : value) {
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = ' ';
        }
        fields.insert(name, value);
    }
}

void SetConnection(http::fields& fields, unsigned version, bool keepAlive) {
    if (!keepAlive) {
        fields.set(http::field::connection, "close");
    } else if (version < 11) {
        fields.set(http::field::connection, "keep-alive");
    } else {
        fields.erase(http::field::connection);
    }
}

namespace {

http::status StatusOf(int status) { return static_cast<http::status>(status >= 100 && status <= 599 ? status : 500); }

}  // namespace

http::response<http::string_body> ResponseOf(HttpAnswer answer, unsigned version, bool keepAlive) {
    http::response<http::string_body> response(StatusOf(answer.status), 11);
    CopyHeaders(answer.headers, response);
    response.body() = std::move(answer.body);
    SetConnection(response, version, keepAlive);
    response.prepare_payload();
    return response;
}

http::response<http::empty_body> StreamedHeadOf(const HttpAnswer& head, unsigned version, bool keepAlive) {
    const bool chunked = version >= 11;
    http::response<http::empty_body> response(StatusOf(head.status), 11);
    CopyHeaders(head.headers, response);
    if (!chunked) response.erase(http::field::trailer);
    SetConnection(response, version, chunked && keepAlive);
    response.chunked(chunked);
    return response;
}

namespace {

// An answer awaited whole; trailer fields join the headers. An answer
// dropped unended is a 500.
struct Collected {
    std::mutex mutex;
    std::condition_variable ended;
    HttpAnswer answer;
    bool done = false;
};

class CollectingSink : public AnswerSink {
public:
    explicit CollectingSink(std::shared_ptr<Collected> collected) : collected_(std::move(collected)) {}
    ~CollectingSink() override {
        if (!finished_) Finish(Refusal(500));
    }

    void Whole(HttpAnswer answer) override { Finish(std::move(answer)); }
    void Begin(const HttpAnswer& head) override { answer_ = head; }
    void Part(std::string_view part) override { answer_.body += part; }
    void End(const HeaderList& trailer) override {
        answer_.headers.insert(answer_.headers.end(), trailer.begin(), trailer.end());
        Finish(std::move(answer_));
    }

private:
    void Finish(HttpAnswer answer) {
        if (finished_) return;
        finished_ = true;
        std::lock_guard<std::mutex> lock(collected_->mutex);
        collected_->answer = std::move(answer);
        collected_->done = true;
        collected_->ended.notify_all();
    }

    std::shared_ptr<Collected> collected_;
    HttpAnswer answer_;
    bool finished_ = false;
};

// Parses bytes.substr(at) until the head (or the whole message) is read; at
// the end of the bytes the input ends.
void Feed(RequestParser& parser, const std::string& bytes, std::size_t& at, bool whole, beast::error_code& error) {
    while (!error && !(whole ? parser.is_done() : parser.is_header_done())) {
        const std::size_t used = at < bytes.size() ? parser.put(asio::buffer(bytes.data() + at, bytes.size() - at), error) : 0;
        at += used;
        if (error == http::error::need_more) error = {};
        if (!error && used == 0 && !parser.got_some()) error = http::error::end_of_stream;
        if (!error && used == 0) parser.put_eof(error);
    }
}

}  // namespace

HttpAnswer AnswerBytes(const std::string& bytes, const ServerLimits& limits, const Authenticator& authenticate,
                       Application& application) {
    RequestParser parser;
    PrepareParser(parser, limits);
    parser.eager(false);
    beast::error_code error;
    std::size_t at = 0;
    Feed(parser, bytes, at, false, error);
    if (error) return RefusalFor(error);
    HeadVerdict verdict = CheckHead(parser, limits, authenticate, "127.0.0.1");
    if (verdict.refusal) return std::move(*verdict.refusal);
    parser.eager(true);
    Feed(parser, bytes, at, true, error);
    if (error) return RefusalFor(error);
    auto collected = std::make_shared<Collected>();
    application.Handle(RequestOf(parser, "127.0.0.1", std::move(verdict.user)), std::make_shared<CollectingSink>(collected));
    std::unique_lock<std::mutex> lock(collected->mutex);
    collected->ended.wait(lock, [&collected]() { return collected->done; });
    return std::move(collected->answer);
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

}  // namespace wbem
}  // namespace syv
