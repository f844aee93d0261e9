#include "syvcore/StandinHost.h"

#include "CIMTypeNames.h"
#include "CoreLogger.h"
#include "HostState.h"
#include "PluginManager.h"
#include "QueryFrame.h"
#include "QueryNamespace.h"
#include "ReferenceImpl.h"
#include "syvcore/Schema.h"

#include <boost/make_shared.hpp>

#include <new>
#include <utility>

namespace syv {

namespace {

struct HostSettings {
    std::string toolsFolder;
    int maxToolSeconds = 0;
    std::uint64_t maxOutputBytes = 64ull * 1024 * 1024;
    InProcessTool inProcessTool;
};

HostSettings& Settings() {
    static HostSettings settings;
    return settings;
}

// Called while an exception is handled, perhaps for want of memory: a text
// that cannot be copied becomes one short enough to need no allocation.
void SetError(QueryError& error, std::uint32_t status, const char* message) noexcept {
    error.status = status;
    try {
        error.message = message;
    } catch (const std::bad_alloc&) {
        error.message = "out of memory";
    }
}

// Collects a query into a report.
class ReportCollector : public QueryObserver {
public:
    explicit ReportCollector(QueryReport& report) : report_(report) {}
    void Committed(CommittedInstance instance) override { report_.instances.push_back(std::move(instance)); }
    void RanTool(const ToolRun& run) override { report_.toolRuns.push_back(run); }
    void Logged(const LogEntry& entry) override { report_.log.push_back(entry); }
    void Ended(const QueryError* error) override {
        if (error) {
            report_.failed = true;
            report_.status = error->status;
            report_.message = error->message;
        }
    }

private:
    QueryReport& report_;
};

}  // namespace

namespace detail {

int GetMaxToolSeconds() { return Settings().maxToolSeconds; }

std::uint64_t GetMaxOutputBytes() { return Settings().maxOutputBytes; }

const InProcessTool& GetInProcessTool() { return Settings().inProcessTool; }

void RecordToolRun(const ToolRun& run) {
    if (QueryFrame* query = ReportingQuery()) query->Observer()->RanTool(run);
}

}  // namespace detail

// The schema is read whole before it replaces the current one: a file with
// an error leaves the namespace as it was.
void StandinHost::LoadSchema(const std::string& folder) {
    detail::TheQueryNamespace()->SetSchema(boost::make_shared<const Schema>(LoadSchemaFolder(folder)));
}

void StandinHost::SetToolsFolder(const std::string& folder) { Settings().toolsFolder = folder; }

const std::string& StandinHost::GetToolsFolder() { return Settings().toolsFolder; }

// A negative cap means as little as no cap.
void StandinHost::SetMaxToolSeconds(int seconds) { Settings().maxToolSeconds = seconds > 0 ? seconds : 0; }

void StandinHost::SetMaxOutputBytes(std::uint64_t bytes) { Settings().maxOutputBytes = bytes; }

void StandinHost::SetInProcessTool(InProcessTool tool) { Settings().inProcessTool = std::move(tool); }

void StandinHost::SetLogLevel(int level) { detail::TheCoreLogger().SetLevel(level); }

void StandinHost::FailNextRegistration(bool fail) { detail::ThePluginManager()->FailNextRegistration(fail); }

std::vector<NORNSYV20::IPluginCallbacks*> StandinHost::GetRegisteredPlugins() {
    return detail::ThePluginManager()->GetPlugins();
}

void StandinHost::ClearRegisteredPlugins() { detail::ThePluginManager()->Clear(); }

boost::shared_ptr<NORNSYV20::ICIMNamespace> StandinHost::GetNamespace() { return detail::TheQueryNamespace(); }

boost::shared_ptr<const Schema> StandinHost::GetSchema() { return detail::TheQueryNamespace()->GetSchema(); }

NORNSYV20::TCIMReference StandinHost::MakeReference(const std::string& namespaceName, const std::string& className,
                                                    NORNSYV20::TCIMValueMap keys) {
    return NORNSYV20::TCIMReference(new NORNSYV20::TCIMReference::Impl(namespaceName, className, std::move(keys)));
}

QueryObserver::~QueryObserver() = default;

void StandinHost::RunQuery(const std::vector<std::string>& classNames, QueryObserver& observer) {
    if (detail::ThePluginManager()->FirstPlugin() == nullptr) {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kRegistrationFailed),
                                       "no plug-in registered");
    }
    QueryError error;
    bool failed = true;
    try {
        const boost::shared_ptr<NORNSYV20::ICIMNamespace> ns = GetNamespace();
        std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>> classes;
        for (const std::string& name : classNames) classes.push_back(ns->GetClass(name, NORNSYV20::TCIMValueMap()));
        NORNSYV20::IPluginBasicQueryCallbacks& provider = detail::QueryInterfaceOfFirstPlugin();
        detail::QueryFrame query(&observer);
        provider.QueryInstances(ns, classes);
        failed = false;
    } catch (const std::bad_alloc&) {
        SetError(error, NORNSYV20::TSYVStatusCode::kFailed, "out of memory");
    } catch (const NORNSYV20::TSYVException& e) {
        SetError(error, e.GetStatusCode().GetCode(), e.what());
    } catch (const std::exception& e) {
        SetError(error, NORNSYV20::TSYVStatusCode::kFailed, e.what());
    } catch (...) {
        SetError(error, NORNSYV20::TSYVStatusCode::kFailed, "unknown exception");
    }
    observer.Ended(failed ? &error : nullptr);
}

QueryReport StandinHost::RunQuery(const std::vector<std::string>& classNames) {
    QueryReport report;
    report.classes = classNames;
    ReportCollector collector(report);
    RunQuery(classNames, collector);
    return report;
}

}  // namespace syv
