#include "ListenSocket.h"

namespace syv {
namespace wbem {

// SO_REUSEADDR lets a socket bind beside connections in TIME_WAIT, never
// beside another listening socket.
void SetListenOptions(boost::asio::ip::tcp::acceptor& acceptor) {
    acceptor.set_option(boost::asio::socket_base::reuse_address(true));
}

bool PortInUse(const boost::system::error_code& error) { return error == boost::asio::error::address_in_use; }

}  // namespace wbem
}  // namespace syv
