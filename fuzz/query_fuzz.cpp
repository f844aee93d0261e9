// A whole query of all twelve classes through the stand-in host, with the
// plug-in in this process and the tools' output taken from the input. What a
// host relies on: the query ends only with the host's exception, and only
// when a tool run fails; otherwise each kind has one controller, firmware
// element and BIOS element per adapter, its associations tie each controller
// to its own elements among the instances of the same query, and the raw data
// holds the tool's output line by line. A second query before shutdown gives
// the same answer.
#include "FuzzCheck.h"

#include "host/TCIMValue.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace velkor;
using NORNSYV20::TCIMValue;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;
using syv::CommittedInstance;
using syv::QueryReport;

// Input: scli's output, the separator, iscli's output; without the separator both tools print the whole input.
const std::string kToolSeparator = "\n==iscli==\n";
// A tool's part holding a NUL byte (text output never does) makes every run of that tool fail.
const char kFailingRunMark = '\0';
const std::uint32_t kFailingRunStatus = TSYVStatusCode::kProgramCrashed;
// Past this many adapters of a kind an input only costs time (every adapter
// makes a dozen instances) and covers nothing new, so it is left out.
const std::size_t kMaxAdapters = 64;

struct ToolPart {
    std::string output;
    bool fails = false;
};

struct ToolParts {
    ToolPart scli;
    ToolPart iscli;
};

ToolParts& CurrentParts() {
    static ToolParts parts;
    return parts;
}

ToolPart MakePart(const std::string& text) {
    ToolPart part;
    part.output = text;
    part.fails = text.find(kFailingRunMark) != std::string::npos;
    return part;
}

ToolParts SplitInput(const std::string& input) {
    ToolParts parts;
    const std::size_t at = input.find(kToolSeparator);
    if (at == std::string::npos) {
        parts.scli = parts.iscli = MakePart(input);
    } else {
        parts.scli = MakePart(input.substr(0, at));
        parts.iscli = MakePart(input.substr(at + kToolSeparator.size()));
    }
    return parts;
}

std::string RunTool(const std::string& path, const std::vector<std::string>& arguments) {
    FUZZ_CHECK_WHY(path == kFibreChannelToolPath || path == kIScsiToolPath, path);
    FUZZ_CHECK_WHY(arguments == std::vector<std::string>{"-z"}, path);
    const ToolPart& part = path == kFibreChannelToolPath ? CurrentParts().scli : CurrentParts().iscli;
    if (part.fails) {
        throw TSYVException(TSYVStatusCode(kFailingRunStatus), path + ": failed as the input asked");
    }
    return part.output;
}

// The texts of one adapter kind, and how many adapters its output describes.
struct Kind {
    const std::string& controllerClass;
    const std::string& firmwareElementClass;
    const std::string& biosElementClass;
    const std::string& controllerFirmwareClass;
    const std::string& controllerBiosClass;
    const std::string& rawDataClass;
    const std::string& toolPath;
    // Raw data is kept only for output that holds this text.
    const std::string& rawDataMarker;
    // iSCSI output describes adapters only after its presence marker.
    const std::string* presenceMarker;
    const std::string& blockStart;
    ToolPart ToolParts::*part;
};

const Kind kFibreChannel = {kFibreChannelControllerClass,
                            kFibreChannelFirmwareElementClass,
                            kFibreChannelBiosElementClass,
                            kFibreChannelControllerFirmwareClass,
                            kFibreChannelControllerBiosClass,
                            kFibreChannelRawDataClass,
                            kFibreChannelToolPath,
                            kFibreChannelBlockStart,
                            nullptr,
                            kFibreChannelBlockStart,
                            &ToolParts::scli};
const Kind kIScsi = {kIScsiControllerClass,
                     kIScsiFirmwareElementClass,
                     kIScsiBiosElementClass,
                     kIScsiControllerFirmwareClass,
                     kIScsiControllerBiosClass,
                     kIScsiRawDataClass,
                     kIScsiToolPath,
                     kIScsiPresenceMarker,
                     &kIScsiPresenceMarker,
                     kIScsiBlockStart,
                     &ToolParts::iscli};

std::size_t ExpectedAdapters(const Kind& kind, const std::string& output) {
    if (kind.presenceMarker != nullptr && output.find(*kind.presenceMarker) == std::string::npos) {
        return 0;
    }
    return fuzz::CountOccurrences(output, kind.blockStart);
}

std::vector<const CommittedInstance*> OfClass(const QueryReport& report, const std::string& className) {
    std::vector<const CommittedInstance*> found;
    for (const CommittedInstance& instance : report.instances) {
        if (instance.className == className) {
            found.push_back(&instance);
        }
    }
    return found;
}

const TCIMValue& PropertyOf(const CommittedInstance& instance, const std::string& name) {
    for (const auto& property : instance.properties) {
        if (property.first == name) {
            return property.second;
        }
    }
    FUZZ_CHECK_WHY(false, instance.path + " has no " + name);
    std::abort();
}

std::string StringOf(const CommittedInstance& instance, const std::string& name) {
    const TCIMValue& value = PropertyOf(instance, name);
    FUZZ_CHECK_WHY(value.GetKind() == TCIMValue::eString, instance.path + "." + name);
    return static_cast<std::string>(value);
}

// The instance of the query that the association's reference names.
const CommittedInstance& Referenced(const CommittedInstance& association, const std::string& role,
                                    const std::string& className,
                                    const std::map<std::string, const CommittedInstance*>& byPath) {
    const TCIMValue& value = PropertyOf(association, role);
    FUZZ_CHECK_WHY(value.GetKind() == TCIMValue::eReference, association.path + "." + role);
    const auto found = byPath.find(value.GetReference().ToObjectPath());
    FUZZ_CHECK_WHY(found != byPath.end(), association.path + "." + role + " names no instance of the query");
    FUZZ_CHECK_WHY(found->second->className == className, association.path + "." + role);
    return *found->second;
}

void CheckAdapters(const QueryReport& report, const Kind& kind, const std::string& output,
                   const std::map<std::string, const CommittedInstance*>& byPath) {
    const std::size_t adapters = ExpectedAdapters(kind, output);
    for (const std::string* className : {&kind.controllerClass, &kind.firmwareElementClass, &kind.biosElementClass}) {
        FUZZ_CHECK_WHY(OfClass(report, *className).size() == adapters, *className);
    }

    const std::pair<const std::string*, const std::string*> associations[] = {
        {&kind.controllerFirmwareClass, &kind.firmwareElementClass},
        {&kind.controllerBiosClass, &kind.biosElementClass},
    };
    for (const auto& association : associations) {
        const std::vector<const CommittedInstance*> instances = OfClass(report, *association.first);
        FUZZ_CHECK_WHY(instances.size() == adapters, *association.first);
        // With as many associations as controllers, each controller in one
        // association means each in exactly one.
        std::set<std::string> controllersTied;
        for (const CommittedInstance* instance : instances) {
            const CommittedInstance& controller = Referenced(*instance, "Dependent", kind.controllerClass, byPath);
            const CommittedInstance& element = Referenced(*instance, "Antecedent", *association.second, byPath);
            FUZZ_CHECK_WHY(StringOf(controller, "DeviceID") == StringOf(element, "DeviceID"), instance->path);
            FUZZ_CHECK_WHY(controllersTied.insert(controller.path).second, instance->path);
        }
    }
}

void CheckRawData(const QueryReport& report, const Kind& kind, const std::string& output) {
    const std::vector<const CommittedInstance*> raw = OfClass(report, kind.rawDataClass);
    const bool hasLines =
        output.find(kind.rawDataMarker) != std::string::npos && output.find('\r') != std::string::npos;
    FUZZ_CHECK_WHY(raw.size() == (hasLines ? 1u : 0u), kind.rawDataClass);
    if (!hasLines) {
        return;
    }
    FUZZ_CHECK(StringOf(*raw[0], "Command") == kind.toolPath + " -z");
    const TCIMValue& results = PropertyOf(*raw[0], "RawResults");
    FUZZ_CHECK(results.GetKind() == TCIMValue::eArray && results.GetElementType() == NORNSYV20::eCIMTypeString);
    std::vector<std::string> lines;
    for (const TCIMValue& element : results.GetElements()) {
        FUZZ_CHECK(element.GetKind() == TCIMValue::eString);
        lines.push_back(static_cast<std::string>(element));
    }
    FUZZ_CHECK(!lines.empty());
    FUZZ_CHECK_WHY(fuzz::AreLinesOf(lines, output), kind.rawDataClass);
}

void CheckQuery(const QueryReport& report, const ToolParts& parts) {
    const bool aRunFails = parts.scli.fails || parts.iscli.fails;
    // Status 1 also stands for any exception other than the host's.
    FUZZ_CHECK_WHY(report.failed == aRunFails, report.message);
    if (report.failed) {
        FUZZ_CHECK_WHY(report.status == kFailingRunStatus, report.message);
        // Collection precedes serving, so a failed collection commits nothing.
        FUZZ_CHECK(report.instances.empty());
        return;
    }

    std::map<std::string, const CommittedInstance*> byPath;
    for (const CommittedInstance& instance : report.instances) {
        FUZZ_CHECK_WHY(byPath.emplace(instance.path, &instance).second, "committed twice: " + instance.path);
    }
    std::size_t served = 0;
    for (const std::string& className : ServedClasses()) {
        served += OfClass(report, className).size();
    }
    FUZZ_CHECK(served == report.instances.size());

    for (const Kind* kind : {&kFibreChannel, &kIScsi}) {
        const std::string& output = (parts.*(kind->part)).output;
        CheckAdapters(report, *kind, output, byPath);
        CheckRawData(report, *kind, output);
    }
}

// A value as text that tells any two values apart (texts carry their length).
std::string Describe(const TCIMValue& value) {
    switch (value.GetKind()) {
        case TCIMValue::eNull:
            return "null";
        case TCIMValue::eString: {
            const std::string text = static_cast<std::string>(value);
            return "string" + std::to_string(text.size()) + ":" + text;
        }
        case TCIMValue::eUint16:
            return "uint16:" + std::to_string(value.GetUint16());
        case TCIMValue::eUint32:
            return "uint32:" + std::to_string(static_cast<unsigned int>(value));
        case TCIMValue::eReference: {
            const std::string path = value.GetReference().ToObjectPath();
            return "ref" + std::to_string(path.size()) + ":" + path;
        }
        case TCIMValue::eArray: {
            std::string text = "array" + std::to_string(value.GetElements().size()) + ":";
            for (const TCIMValue& element : value.GetElements()) {
                text += Describe(element);
            }
            return text;
        }
    }
    return "?";
}

// How the query ended and what it committed, in order, as text.
std::vector<std::string> Outcome(const QueryReport& report) {
    std::vector<std::string> lines{report.failed ? std::to_string(report.status) + " " + report.message : "ok"};
    for (const CommittedInstance& instance : report.instances) {
        lines.push_back(std::string(instance.className) + " " + instance.path);
        for (const auto& property : instance.properties) {
            lines.push_back(std::string(property.first) + "=" + Describe(property.second));
        }
    }
    return lines;
}

velkor::TQLogicControllerPluginCallbacks* g_plugin = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    try {
        syv::StandinHost::LoadSchema(VELKOR_SCHEMA_DIR);
        syv::StandinHost::SetLogLevel(0);
        syv::StandinHost::SetInProcessTool(RunTool);
        syv::StandinHost::ClearRegisteredPlugins();
        // Registers itself; the registration keeps it for the whole run.
        g_plugin = new velkor::TQLogicControllerPluginCallbacks();
    } catch (const TSYVException& error) {
        std::fprintf(stderr, "query_fuzz: cannot set up the host: %s\n", error.what());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CurrentParts() = SplitInput(std::string(reinterpret_cast<const char*>(data), size));
    if (ExpectedAdapters(kFibreChannel, CurrentParts().scli.output) > kMaxAdapters ||
        ExpectedAdapters(kIScsi, CurrentParts().iscli.output) > kMaxAdapters) {
        return -1;  // not kept in the corpus
    }
    const QueryReport report = syv::StandinHost::RunQuery(ServedClasses());
    CheckQuery(report, CurrentParts());
    // The next query is served from the kept inventories, or after a failed
    // collection collects again and fails again: either way it repeats this one.
    FUZZ_CHECK(Outcome(syv::StandinHost::RunQuery(ServedClasses())) == Outcome(report));
    // Every input collects afresh.
    g_plugin->Shutdown();
    return 0;
}
