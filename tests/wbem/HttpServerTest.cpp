// The HTTP layer over loopback sockets, with an application that echoes
// requests or streams its answers: deadlines, credentials before the body,
// keep-alive, streaming, stopping mid-handshake. How the server makes room
// for new connections, and stops at once while it answers the requests in
// progress, the wbemcli test shows end to end.
#include "wbem/HttpServer.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#ifdef VELKOR_WBEM_TLS
#include <boost/asio/ssl/context.hpp>
#endif
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <future>
#include <thread>

namespace {

namespace asio = boost::asio;
using namespace syv::wbem;
using namespace std::chrono_literals;

// Answers "X-User: USER" and the body; with streamParts, streams that many
// 64 KiB parts from a thread of its own.
struct FakeApplication : Application {
    std::size_t streamParts = 0;
    std::atomic<int> handled{0};
    std::atomic<std::size_t> partsMade{0};
    std::future<void> streamed;

    void Handle(HttpRequest request, std::shared_ptr<AnswerSink> sink) override {
        if (streamParts > 0) {
            streamed = std::async(std::launch::async, [this, sink]() {
                sink->Begin({200, {{"Trailer", "X-Done"}}, ""});
                const std::string part(64 * 1024, 'p');
                for (; partsMade < streamParts; ++partsMade) sink->Part(part);
                sink->End({{"X-Done", "yes"}});
            });
        } else {
            sink->Whole({200, {{"X-User", request.user}}, "[" + request.body + "]"});
        }
        ++handled;
    }
    void Stop() override {}
};

// A server on a free loopback port, on a thread of its own.
struct TestServer {
    StopControl control;
    ServerSettings settings;
    std::promise<unsigned short> listening;
    std::future<void> returned;
    unsigned short port;

    TestServer(Application& application, ServerSettings given)
        : settings(std::move(given)), returned(std::async(std::launch::async, [this, &application]() {
              Serve(settings, application, control, [this](const std::string& url) {
                  listening.set_value(static_cast<unsigned short>(std::stoi(url.substr(url.rfind(':') + 1))));
              });
          })),
          port(listening.get_future().get()) {}
    ~TestServer() { control.RequestStop(); }
    bool ReturnsWithin(std::chrono::milliseconds time) { return returned.wait_for(time) == std::future_status::ready; }
};

// One client connection; Read returns what arrives until the text is seen,
// the server closes the connection, or the time passes.
struct Client {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    bool closed = false;

    explicit Client(unsigned short port) { socket.connect({asio::ip::make_address("127.0.0.1"), port}); }
    void Send(const std::string& bytes) {
        boost::system::error_code ignored;  // the server may have closed the connection
        asio::write(socket, asio::buffer(bytes), ignored);
    }
    std::string Read(std::chrono::milliseconds time, const std::string& until = "") {
        std::string got;
        std::vector<char> buffer(1 << 16);
        std::function<void()> next = [&]() {
            socket.async_read_some(asio::buffer(buffer), [&](boost::system::error_code error, std::size_t size) {
                got.append(buffer.data(), size);
                closed = closed || (error && error != asio::error::operation_aborted);
                const std::size_t from = got.size() - std::min(got.size(), size + until.size());
                if (!error && (until.empty() || got.find(until, from) == std::string::npos)) next();
            });
        };
        next();
        io.restart();
        if (io.run_for(time), !io.stopped()) socket.cancel(), io.run();
        return got;
    }
};

std::string Post(const std::string& body, const std::string& head = "HTTP/1.1", const std::string& extra = "") {
    return "POST /cimom " + head + "\r\nHost: x\r\n" + extra + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// Bodies up to 16 bytes, heads up to 256.
ServerSettings Settings(int headSeconds, int ioSeconds, std::size_t maxConnections) {
    ServerSettings settings;
    settings.address = "127.0.0.1";
    settings.limits = {16, 256, headSeconds, ioSeconds, maxConnections, 256 * 1024};
    return settings;
}

// Accepts "Basic good" as the user ops; "Basic evil" names a user that
// would end the log line and clear the terminal.
AuthOutcome Check(std::string_view authorization) {
    if (authorization == "Basic good") return {true, "ops"};
    return {false, authorization == "Basic evil" ? "evil\n\x1b[2J" : ""};
}

TEST(HttpServer, AnswersUnreadableRequestsItself) {
    const std::string good = "POST / HTTP/1.1\r\nAuthorization: Basic good\r\n";
    const std::pair<std::string, int> cases[] = {
        {good + "Content-Length: 3\r\n\r\nabc", 200},
        {Post(std::string(17, 'x')), 401},  // credentials first
        {good + "Transfer-Encoding: chunked\r\n\r\n11\r\n" + std::string(17, 'x') + "\r\n0\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nX: " + std::string(300, 'x') + "\r\n\r\n", 431},
        {good + "Content-Length: 5\r\n\r\nab", 400},
        {"", 400},
    };
    FakeApplication application;
    for (const auto& c : cases) {
        const HttpAnswer answer = AnswerBytes(c.first, Settings(5, 30, 64).limits, Check, application);
        EXPECT_EQ(answer.status, c.second) << c.first.substr(0, 60);
        std::string names;
        for (const auto& header : answer.headers) names += header.first + ";";
        EXPECT_EQ(names, c.second == 400 ? "CIMError;" : c.second == 401 ? "WWW-Authenticate;" : c.second == 200 ? "X-User;" : "");
    }
    EXPECT_EQ(application.handled, 1);
}

TEST(HttpServer, ChecksCredentialsAndSizeBeforeItAsksForTheBody) {
    const struct {
        std::string authorization;
        int length;
        const char* answer;  // the first answer
        bool closed;         // after it
    } cases[] = {
        {"", 4, "HTTP/1.1 401", true},
        {"Basic good", 17, "HTTP/1.1 413", true},
        {"Basic good", 4, "HTTP/1.1 100 Continue", false},
        {"Basic evil", 0, "HTTP/1.1 401", false},
    };
    FakeApplication application;
    std::vector<std::string> log;
    ServerSettings settings = Settings(30, 30, 64);
    settings.authenticate = Check;
    settings.log = [&log](int level, const std::string& text) { log.push_back(std::to_string(level) + text); };
    TestServer server(application, settings);
    for (const auto& c : cases) {
        Client client(server.port);
        client.Send("POST / HTTP/1.1\r\nAuthorization: " + c.authorization + "\r\nExpect: 100-continue\r\nContent-Length: " +
                    std::to_string(c.length) + "\r\n\r\n");
        const std::string first = client.Read(5s, "\r\n\r\n");
        EXPECT_EQ(first.compare(0, std::strlen(c.answer), c.answer), 0) << first;
        client.Send(c.length == 4 ? "body" : Post("", "HTTP/1.1", "Authorization: Basic good\r\n"));
        const std::string second = client.Read(5s, "]");
        EXPECT_EQ(client.closed, c.closed) << second;
        EXPECT_EQ(second.find("X-User: ops") != std::string::npos, !c.closed) << second;
    }
    server.control.RequestStop();
    EXPECT_TRUE(server.ReturnsWithin(5s));
    const std::vector<std::string> refused{"2a request without credentials from 127.0.0.1 was refused",
                                           "2authentication failed for the user \"evil\n        \\x1b[2J\" from 127.0.0.1"};
    EXPECT_EQ(log, refused);
}

TEST(HttpServer, ClosesSlowOrIdleConnectionsAndKeepsOthersAsAsked) {
    const struct {
        const char* version;
        const char* connection;
        std::string answered;  // the Connection header of the answer
    } cases[] = {
        {"HTTP/1.1", "", ""},
        {"HTTP/1.1", "Connection: close\r\n", "Connection: close"},
        {"HTTP/1.0", "Connection: keep-alive\r\n", "Connection: keep-alive"},
    };
    FakeApplication application;
    TestServer server(application, Settings(1, 3, 64));
    Client silent(server.port), slow(server.port);  // closed by the head deadline, before the I/O one
    slow.Send("POST / HTTP/1.1\r\n");
    EXPECT_TRUE((silent.Read(2500ms), slow.Read(2500ms), silent.closed && slow.closed));
    for (const auto& c : cases) {
        Client client(server.port);
        client.Send(Post("1", c.version, c.connection));
        const std::string first = client.Read(5s, "[1]");
        const std::size_t header = first.find("Connection:");
        EXPECT_EQ(header == std::string::npos ? "" : first.substr(header, first.find('\r', header) - header), c.answered);
        const bool kept = c.answered != "Connection: close";
        client.Send(Post("2", c.version, c.connection));
        EXPECT_EQ(client.Read(5s, "[2]").find("[2]") != std::string::npos, kept) << c.version << c.connection;
        // Kept: idle past the head deadline, then closed after the I/O deadline.
        EXPECT_TRUE(!kept || (client.Read(1500ms).empty() && !client.closed && (client.Read(5s), client.closed)));
    }
}

TEST(HttpServer, StreamsAsFastAsTheClientReads) {
    const struct {
        const char* version;
        const char* framing;  // in the answer's head
        const char* end;      // of the answer; null: the client leaves, and the parts are dropped
    } cases[] = {
        {"HTTP/1.1", "Transfer-Encoding: chunked", "\r\n0\r\nX-Done: yes\r\n\r\n"},
        {"HTTP/1.0", "Connection: close", ""},  // ended by closing
        {"HTTP/1.1", "Transfer-Encoding: chunked", nullptr},
    };
    const std::size_t parts = 512, bytes = parts * 64 * 1024;  // more than the sockets hold
    for (const auto& c : cases) {
        FakeApplication application;
        application.streamParts = parts;
        TestServer server(application, Settings(30, 30, 64));
        auto client = std::make_unique<Client>(server.port);
        client->Send(Post("", c.version));
        const std::string head = client->Read(5s, "\r\n\r\n");
        EXPECT_NE(head.find(c.framing), std::string::npos) << head;
        ASSERT_EQ(application.handled, 1);
        std::this_thread::sleep_for(500ms);
        EXPECT_LT(application.partsMade, parts) << "the application was not held up";
        if (!c.end) client.reset();
        const std::string rest = client ? client->Read(60s, c.end) : std::string();
        EXPECT_EQ(application.streamed.wait_for(5s), std::future_status::ready);
        if (!client) continue;
        EXPECT_GE(head.size() + rest.size(), bytes);
        EXPECT_TRUE(*c.end ? rest.compare(rest.size() - std::strlen(c.end), std::string::npos, c.end) == 0 : client->closed);
    }
}

#ifdef VELKOR_WBEM_TLS
TEST(HttpServer, StopsAtOnceWithATlsHandshakeUnfinished) {
    FakeApplication application;
    ServerSettings settings = Settings(30, 30, 64);
    settings.tls = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
    TestServer server(application, settings);
    Client stalled(server.port);
    stalled.Send("\x16");  // the first byte of a handshake
    std::this_thread::sleep_for(200ms);  // accepted meanwhile
    server.control.RequestStop();
    EXPECT_TRUE(server.ReturnsWithin(5s));
}
#endif

}  // namespace
