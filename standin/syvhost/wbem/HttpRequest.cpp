#include "HttpServer.h"

#include "XmlText.h"

namespace syv {
namespace wbem {

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const auto& header : headers) {
        if (NamesEqual(header.first, name)) return header.second;
    }
    return std::string_view();
}

}  // namespace wbem
}  // namespace syv
