// A CIM-XML request body, as any client might send it, read into a typed
// request. What the server relies on: every input is either a request or a
// refusal with a DSP0200 status, within the reader's limits, and a request
// names its method and namespace.
#include "FuzzCheck.h"

#include "wbem/CimRequestReader.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto read = syv::wbem::ReadCimRequest(body);
    if (const syv::wbem::Refusal* refusal = std::get_if<syv::wbem::Refusal>(&read)) {
        static const std::set<std::string> errors{"request-not-well-formed", "request-not-valid", "unsupported-cim-version",
                                                  "unsupported-dtd-version", "unsupported-protocol-version",
                                                  "multiple-requests-unsupported"};
        FUZZ_CHECK_WHY(errors.count(refusal->cimError) == 1, refusal->cimError);
        FUZZ_CHECK_WHY(refusal->status == (refusal->cimError.compare(0, 12, "request-not-") == 0 ? 400 : 501), refusal->why);
        return 0;
    }
    const syv::wbem::CimRequest& request = std::get<syv::wbem::CimRequest>(read);
    FUZZ_CHECK(request.extrinsic || !request.namespaceName.empty());
    for (const auto& param : request.params) {
        FUZZ_CHECK(param.second.kind != syv::wbem::ParamValue::kInstanceName || param.second.reference);
    }
    return 0;
}
