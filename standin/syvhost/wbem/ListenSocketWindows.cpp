#include "ListenSocket.h"

#include <winsock2.h>

namespace syv {
namespace wbem {

// SO_REUSEADDR would let this socket take a port another one listens on;
// SO_EXCLUSIVEADDRUSE keeps others off this one's.
void SetListenOptions(boost::asio::ip::tcp::acceptor& acceptor) {
    const BOOL exclusive = TRUE;
    if (setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                   sizeof exclusive) != 0) {
        throw boost::system::system_error(WSAGetLastError(), boost::system::system_category());
    }
}

// A port held exclusively answers WSAEACCES rather than WSAEADDRINUSE.
bool PortInUse(const boost::system::error_code& error) {
    return error == boost::asio::error::address_in_use || error == boost::asio::error::access_denied;
}

}  // namespace wbem
}  // namespace syv
