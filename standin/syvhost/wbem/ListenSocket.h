// What differs by platform in the listening socket.
#ifndef SYVHOST_WBEM_LISTENSOCKET_H
#define SYVHOST_WBEM_LISTENSOCKET_H

#include <boost/asio/ip/tcp.hpp>

namespace syv {
namespace wbem {

// Set on the open socket before bind: a restarted server takes its port
// again while its old connections linger, and no other program's socket may
// take a port in use. Throws boost::system::system_error.
void SetListenOptions(boost::asio::ip::tcp::acceptor& acceptor);

// The error of a bind to a port that another socket holds.
bool PortInUse(const boost::system::error_code& error);

}  // namespace wbem
}  // namespace syv

#endif
