#include "ReportWriter.h"

namespace syv {

void WriteCollected(ReportWriter& writer, const PluginIdentity& plugin, const std::vector<QueryReport>& queries) {
    writer.Begin(plugin, queries.size());
    for (const QueryReport& query : queries) {
        writer.BeginQuery(query.classes);
        for (const CommittedInstance& instance : query.instances) writer.Committed(instance);
        for (const ToolRun& run : query.toolRuns) writer.RanTool(run);
        for (const LogEntry& entry : query.log) writer.Logged(entry);
        const QueryError error{query.status, query.message};
        writer.Ended(query.failed ? &error : nullptr);
    }
    writer.Finish();
}

}  // namespace syv
