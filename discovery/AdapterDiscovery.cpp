#include "discovery/AdapterDiscovery.h"

#include "host/TOSSpecific.h"
#include "host/TSYVException.h"

#include <vector>

namespace velkor {

std::string RunDiscoveryTool(const std::string& toolPath) {
    const int timeoutSeconds = 300;
    return NORNSYV20::TOSSpecific::SpawnProcess(toolPath, std::vector<std::string>{"-z"}, timeoutSeconds);
}

void FailDiscovery(const char* kindName, const char* what) {
    throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kFailed),
                                   std::string(kindName) + what);
}

}  // namespace velkor
