// The pull operations (DSP0200 1.3): an Open… method collects the whole
// answer of its plain counterpart at once, hands out the first part and keeps
// the rest in an enumeration; pulls hand out the rest from there, so that
// every pull of one enumeration sees one collection.
#include "Enumerations.h"
#include "Operations.h"

namespace syv {
namespace wbem {

namespace {

using Kind = Enumerations::Kind;

// Cuts what a walk writes into one item per object.
class ItemList : public ObjectOutput {
public:
    std::string text;
    std::vector<std::string> items;
    void Checkpoint() override {
        items.push_back(std::move(text));
        text.clear();
    }
};

Enumerations& EnumerationsOf(const OperationContext& context) {
    if (!context.enumerations) throw CimError{kErrNotSupported, "this server keeps no enumerations"};
    return *context.enumerations;
}

void WriteBatch(OperationContext& context, const Enumerations::Batch& batch) {
    for (const std::string& item : batch.items) {
        context.xml.Written(item);
        context.objects.Checkpoint();
    }
    CimXmlWriter output(context.output, context.xml.Host());
    output.OutputParameter("EnumerationContext", "string",
                           batch.context.empty() ? std::nullopt : std::optional<std::string>(batch.context));
    output.OutputParameter("EndOfSequence", "boolean", std::string(batch.context.empty() ? "TRUE" : "FALSE"));
}

void Open(OperationContext& context, Kind kind, void (*walk)(OperationContext&)) {
    const Params params(context.request);
    Enumerations& enumerations = EnumerationsOf(context);
    if (!params.String("FilterQueryLanguage").empty() || !params.String("FilterQuery").empty()) {
        throw CimError{kErrFilteredEnumerationNotSupported, "filtered enumerations are not supported"};
    }
    if (params.Bool("ContinueOnError", false)) {
        throw CimError{kErrContinuationOnErrorNotSupported, "continuing on errors is not supported"};
    }
    const std::optional<std::uint32_t> timeout = params.Uint32("OperationTimeout");
    enumerations.CheckTimeout(timeout);
    const std::uint32_t count = params.Uint32("MaxObjectCount").value_or(0);
    ItemList list;
    CimXmlWriter writer(list.text, context.xml.Host());
    OperationContext walking{context.request, context.target, context.namespaces, writer, list,
                             std::string(), nullptr, context.user};
    walk(walking);
    WriteBatch(context, enumerations.Open(kind, context.target.Name(), context.user, timeout, std::move(list.items), count));
}

std::string ContextOf(const Params& params) {
    const std::string context = params.String("EnumerationContext");
    if (context.empty()) throw CimError{kErrInvalidParameter, "the parameter EnumerationContext is missing"};
    return context;
}

void Pull(OperationContext& context, Kind kind) {
    const Params params(context.request);
    const std::optional<std::uint32_t> count = params.Uint32("MaxObjectCount");
    if (!count) throw CimError{kErrInvalidParameter, "the parameter MaxObjectCount is missing"};
    WriteBatch(context, EnumerationsOf(context).Pull(ContextOf(params), kind, context.target.Name(), context.user, *count));
}

void InstancesWithPath(OperationContext& context) { WriteInstancesOf(context, Shape::kInstanceWithPath); }
void InstancePaths(OperationContext& context) { WriteInstancesOf(context, Shape::kInstancePath); }
void AssociatorInstances(OperationContext& context) {
    WriteAssociated(context, false, Shape::kInstanceWithPath, "InstanceName");
}
void AssociatorPaths(OperationContext& context) { WriteAssociated(context, false, Shape::kInstancePath, "InstanceName"); }
void ReferenceInstances(OperationContext& context) { WriteAssociated(context, true, Shape::kInstanceWithPath, "InstanceName"); }
void ReferencePaths(OperationContext& context) { WriteAssociated(context, true, Shape::kInstancePath, "InstanceName"); }

}  // namespace

void OpenEnumerateInstances(OperationContext& context) { Open(context, Kind::kInstancesWithPath, InstancesWithPath); }
void OpenEnumerateInstancePaths(OperationContext& context) { Open(context, Kind::kInstancePaths, InstancePaths); }
void OpenAssociatorInstances(OperationContext& context) { Open(context, Kind::kInstancesWithPath, AssociatorInstances); }
void OpenAssociatorInstancePaths(OperationContext& context) { Open(context, Kind::kInstancePaths, AssociatorPaths); }
void OpenReferenceInstances(OperationContext& context) { Open(context, Kind::kInstancesWithPath, ReferenceInstances); }
void OpenReferenceInstancePaths(OperationContext& context) { Open(context, Kind::kInstancePaths, ReferencePaths); }
void PullInstancesWithPath(OperationContext& context) { Pull(context, Kind::kInstancesWithPath); }
void PullInstancePaths(OperationContext& context) { Pull(context, Kind::kInstancePaths); }

void CloseEnumeration(OperationContext& context) {
    const Params params(context.request);
    EnumerationsOf(context).Close(ContextOf(params), context.target.Name(), context.user);
}

}  // namespace wbem
}  // namespace syv
