#include "CimService.h"

#include "AnswerBody.h"
#include "CimRequestReader.h"
#include "CimXmlWriter.h"
#include "Operations.h"
#include "XmlText.h"

#include <cctype>
#include <chrono>
#include <new>
#include <optional>
#include <utility>

namespace syv {
namespace wbem {

namespace {

// A CIMObject header's value: a namespace name with %HH escapes.
std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto hex = [&text](std::size_t at) { return std::isxdigit(static_cast<unsigned char>(text[at])) != 0; };
        if (text[i] == '%' && i + 2 < text.size() && hex(i + 1) && hex(i + 2)) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Answers one call: the envelope, then the operation's return value and
// output parameters, or the ERROR that ended it. An answer already sent in
// part that fails ends with its status in the trailer.
typedef std::chrono::steady_clock Clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Call {
    CimRequest request;
    const Operation* operation;
    CimNamespace* ns;
    std::string host;
    std::string user;
    Clock::time_point received;
};

// The method as the figures name it: one the server knows, or "other".
std::string OperationName(const Call& call) { return call.operation ? call.operation->name : "other"; }

// Returns the CIM status it answered (0 for success).
std::uint32_t Respond(const Call& call, const Namespaces& namespaces, Enumerations& enumerations, AnswerSink& sink,
                      std::size_t headBytes, const std::function<void()>& begin) {
    const CimRequest& request = call.request;
    AnswerBody body(sink, headBytes);
    CimXmlWriter xml(body.text, call.host);
    xml.BeginResponse(request.messageId, request.method, request.extrinsic);
    const std::size_t start = body.text.size();
    std::optional<CimError> failure;
    try {
        if (request.extrinsic) throw CimError{kErrNotSupported, "extrinsic methods are not supported"};
        if (!call.operation) throw CimError{kErrNotSupported, "the operation " + request.method + " is not supported"};
        if (!call.ns) throw CimError{kErrInvalidNamespace, "the namespace " + request.namespaceName + " does not exist"};
        if (request.invalidParameter) throw *request.invalidParameter;
        if (begin) begin();
        OperationContext context{request, *call.ns, namespaces, xml, body, std::string(), &enumerations, call.user};
        body.text += "<IRETURNVALUE>";
        call.operation->run(context);
        body.text += "</IRETURNVALUE>";
        body.text += context.output;
    } catch (const CimError& error) {
        failure = error;
    } catch (const std::bad_alloc&) {
        failure = CimError{kErrFailed, "out of memory"};
    } catch (const std::exception& error) {
        failure = CimError{kErrFailed, error.what()};
    }
    if (failure && body.Started()) {
        body.Fail(failure->code, failure->description);
        return failure->code;
    }
    if (failure) {
        body.text.resize(start);
        xml.Error(failure->code, failure->description);
    }
    xml.EndResponse(request.extrinsic);
    body.Finish();
    return failure ? failure->code : 0;
}

}  // namespace

CimService::CimService(const Namespaces& namespaces, PluginQueries& queries, CimServiceSettings settings)
    : namespaces_(namespaces),
      queries_(queries),
      settings_(std::move(settings)),
      enumerations_(settings_.enumerations),
      metrics_(queries, settings_.metricsClasses, settings_.refreshSeconds, stats_, settings_.runOnQueryThread) {}

void CimService::Refuse(const HttpRequest& request, AnswerSink& sink, int status, const std::string& cimError,
                        const std::string& why) {
    if (settings_.log && !why.empty()) settings_.log(2, "a request from " + request.peer + " was refused: " + why);
    stats_.Record("other", status, 0, 0);
    HttpAnswer answer = RefusalAnswer(status, cimError);
    if (status == 405) answer.headers.emplace_back("Allow", request.target == "/metrics" ? "GET" : "POST");
    sink.Whole(std::move(answer));
}

void CimService::Handle(HttpRequest request, std::shared_ptr<AnswerSink> sink) {
    const Clock::time_point received = Clock::now();
    if (request.target == "/metrics") {
        if (request.method != "GET") return Refuse(request, *sink, 405, "", "");
        return metrics_.Handle(request, std::move(sink));
    }
    if (request.target != "/cimom") return Refuse(request, *sink, 404, "", "");
    if (request.method != "POST") return Refuse(request, *sink, 405, "", "");
    if (!NamesEqual(request.Header("CIMOperation"), "MethodCall")) {
        return Refuse(request, *sink, 400, "unsupported-operation", "its CIMOperation header is not MethodCall");
    }
    const std::string_view protocol = request.Header("CIMProtocolVersion");
    if (!protocol.empty() && !SupportedProtocolVersion(protocol)) {
        return Refuse(request, *sink, 501, "unsupported-protocol-version",
                      "CIMProtocolVersion " + std::string(protocol) + " is not supported");
    }
    std::variant<CimRequest, Refusal> read = ReadCimRequest(request.body);
    if (const Refusal* refusal = std::get_if<Refusal>(&read)) {
        return Refuse(request, *sink, refusal->status, refusal->cimError, refusal->why);
    }
    CimRequest& cim = std::get<CimRequest>(read);
    const std::string_view object = request.Header("CIMObject");
    if (!NamesEqual(request.Header("CIMMethod"), cim.method) ||
        (!cim.extrinsic && !object.empty() && !NamesEqual(Unescaped(object), cim.namespaceName))) {
        return Refuse(request, *sink, 400, "header-mismatch", "its CIMMethod or CIMObject header differs from its body");
    }

    const Operation* operation = cim.extrinsic ? nullptr : FindOperation(cim.method);
    CimNamespace* ns = namespaces_.Find(cim.namespaceName);
    const bool now = !operation || !ns || cim.invalidParameter || !operation->needsInstances(cim);
    auto call = std::make_shared<Call>(
        Call{std::move(cim), operation, ns, std::string(request.Header("Host")), request.user, received});
    if (now) {
        const std::uint32_t status = Respond(*call, namespaces_, enumerations_, *sink, AnswerBody::kWhole, nullptr);
        return stats_.Record(OperationName(*call), 200, status, SecondsSince(received));
    }
    settings_.runOnQueryThread([this, call, sink]() {
        const std::uint32_t status =
            Respond(*call, namespaces_, enumerations_, *sink, settings_.headBytes, [this]() { queries_.BeginRequest(); });
        stats_.Record(OperationName(*call), 200, status, SecondsSince(call->received));
    });
}

void CimService::Stop() {
    if (stopped_.exchange(true)) return;
    if (settings_.onStop) settings_.onStop();
}

}  // namespace wbem
}  // namespace syv
