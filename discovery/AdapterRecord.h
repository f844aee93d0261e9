// One adapter's data as discovery read it, and the element-name entries that
// pair an adapter with the names of its firmware and BIOS elements.
#ifndef VELKOR_DISCOVERY_ADAPTERRECORD_H
#define VELKOR_DISCOVERY_ADAPTERRECORD_H

#include <cstdint>
#include <map>
#include <string>

namespace velkor {

// Field numbers of an AdapterRecord.
enum AdapterField : int {
    kAdapterIndex = 0,           // zero-based position in the tool output, decimal
    kModel = 1,
    kBiosVersion = 2,
    kFirmwareVersion = 3,
    kDriverFirmwareVersion = 4,  // Fibre Channel only
};

// Field number to text. Discovery inserts with insert-if-absent semantics.
using AdapterRecord = std::map<int, std::string>;

// A copy of the field, or empty text when the record lacks it.
std::string GetField(const AdapterRecord& record, int field);

class ElementName {
public:
    ElementName(std::uint32_t index, std::string name) : index_(index), name_(std::move(name)) {}

    std::uint32_t GetIndex() const { return index_; }
    std::string GetName() const { return name_; }

private:
    std::uint32_t index_;
    std::string name_;
};

}  // namespace velkor

#endif
