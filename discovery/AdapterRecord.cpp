#include "discovery/AdapterRecord.h"

namespace velkor {

std::string GetField(const AdapterRecord& record, int field) {
    const auto found = record.find(field);
    return found == record.end() ? std::string() : found->second;
}

}  // namespace velkor
