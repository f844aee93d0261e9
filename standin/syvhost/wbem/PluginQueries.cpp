#include "PluginQueries.h"


#include <optional>
#include <utility>

namespace syv {
namespace wbem {

namespace {

// Notes how a query ended, passing everything on.
class Outcome : public QueryObserver {
public:
    explicit Outcome(QueryObserver& next) : next_(next) {}
    void Committed(CommittedInstance instance) override { next_.Committed(std::move(instance)); }
    void RanTool(const ToolRun& run) override { next_.RanTool(run); }
    void Logged(const LogEntry& entry) override { next_.Logged(entry); }
    void Ended(const QueryError* error) override {
        if (error) failure = error->message;
        next_.Ended(error);
    }
    std::optional<std::string> failure;

private:
    QueryObserver& next_;
};

// Passes on the instances of the classes asked for, in commit order, and
// keeps how the query ended.
class ClassFilter : public QueryObserver {
public:
    ClassFilter(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each)
        : classes_(classes), each_(each) {}
    void Committed(CommittedInstance instance) override {
        for (const ClassDefinition* cls : classes_) {
            if (cls->name == instance.className) return each_(*cls, instance);
        }
    }
    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}
    void Ended(const QueryError* error) override {
        if (error) failure = error->message;
    }
    std::optional<std::string> failure;

private:
    const std::vector<const ClassDefinition*>& classes_;
    const InstanceVisitor& each_;
};

std::string ClassList(const std::vector<std::string>& classes) {
    std::string list;
    for (const std::string& name : classes) list += (list.empty() ? "" : ", ") + name;
    return list;
}

}  // namespace

PluginQueries::PluginQueries(QueryFunction query, std::function<void()> shutdown, int refreshSeconds, LogFunction log)
    : query_(std::move(query)), shutdown_(std::move(shutdown)), refreshSeconds_(refreshSeconds), log_(std::move(log)) {}

void PluginQueries::BeginRequest() {
    if (!collected_ || refreshSeconds_ < 0 || Clock::now() - collectedAt_ <= std::chrono::seconds(refreshSeconds_)) return;
    try {
        shutdown_();
    } catch (const std::exception& error) {
        throw CimError{kErrFailed, std::string("the plug-in failed to shut down: ") + error.what()};
    }
    collected_ = false;
}

void PluginQueries::Run(const std::vector<std::string>& classes, QueryObserver& observer) {
    const Clock::time_point start = Clock::now();
    Outcome outcome(observer);
    query_(classes, outcome);
    if (outcome.failure) {
        if (log_) log_(1, "a query of " + ClassList(classes) + " failed: " + *outcome.failure);
    } else if (!collected_) {
        collected_ = true;
        collectedAt_ = start;
    }
}

void PluginNamespace::Enumerate(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each) {
    std::vector<std::string> names;
    names.reserve(classes.size());
    for (const ClassDefinition* cls : classes) names.push_back(cls->name);
    ClassFilter filter(classes, each);
    queries_.Run(names, filter);
    if (filter.failure) throw CimError{kErrFailed, *filter.failure};
}

}  // namespace wbem
}  // namespace syv
