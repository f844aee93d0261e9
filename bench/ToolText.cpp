#include "ToolText.h"

#include <cstddef>

namespace velkor {
namespace bench {

namespace {

const char* const kFibreChannelPort =
    "------------------------------------------------------------------------------\r\n"
    "HBA General Information\r\n"
    "------------------------------------------------------------------------------\r\n"
    "Host Name                      : ATLAS-DB01\r\n"
    "HBA Instance                   : 0\r\n"
    "HBA Model                      : FCX-1620D\r\n"
    "HBA Description                : 16Gb Dual Port Fibre Channel Adapter\r\n"
    "HBA ID                         : 0-FCX-1620D\r\n"
    "HBA Port                       : 1\r\n"
    "Node Name                      : 20-00-00-1B-32-01-4A-11\r\n"
    "Port Name                      : 21-00-00-1B-32-01-4A-11\r\n"
    "Port ID                        : 01-01-00\r\n"
    "Serial Number                  : RFE1931K01234\r\n"
    "Driver Version                 : 9.4.2.20 (x64)\r\n"
    "BIOS Version                   : N/A\r\n"
    "Running Firmware Version       : 8.08.231 (d0d5)\r\n"
    "Flash BIOS Version             : 3.63\r\n"
    "Flash Firmware Version         : 8.08.231 (d0d5)\r\n"
    "Driver Firmware Version        : 8.08.231 (d0d5)\r\n"
    "Actual Connection Mode         : Point to Point\r\n"
    "Actual Data Rate               : 16 Gbps\r\n"
    "HBA Status                     : Online\r\n"
    "\r\n"
    "------------------------------------------------------------------------------\r\n"
    "HBA Port Statistics\r\n"
    "------------------------------------------------------------------------------\r\n"
    "Frames Transmitted             : 1843237\r\n"
    "Frames Received                : 2210993\r\n"
    "Link Failure Count             : 0\r\n"
    "\r\n"
    "------------------------------------------------------------------------------\r\n"
    "HBA VPD Information\r\n"
    "------------------------------------------------------------------------------\r\n"
    "Product Identifier             : 16Gb Dual Port Fibre Channel Adapter\r\n"
    "Part Number                    : PX1620D-01 B\r\n"
    "BIOS Version                   : 3.63\r\n"
    "Flash Firmware Version         : 8.08.231\r\n"
    "\r\n"
    "Finish in 0.42 seconds.\r\n"
    "\r\n";

const char* const kIScsiPort =
    "================================================================\r\n"
    "Displaying Port inst 0 of 2\r\n"
    "================================================================\r\n"
    "Port Information:\r\n"
    "  Board Type          : ICX-4032D Dual Port 10GbE iSCSI Adapter\r\n"
    "  Board Serial Number : ISB2104D00315\r\n"
    "  Chip Model          : IC-4032\r\n"
    "  Port Number         : 1\r\n"
    "  Driver Version      : 5.01.03.05\r\n"
    "  Firmware Version    : 3.01.04.08\r\n"
    "  ROM Version         : 2.01.22\r\n"
    "  MAC Address         : 00-C0-DD-1A-00-41\r\n"
    "  Link Status         : Up, 10 Gbps Full Duplex\r\n"
    "\r\n"
    "IP Configuration:\r\n"
    "  IPv4 Address        : 192.168.11.20\r\n"
    "  Subnet Mask         : 255.255.255.0\r\n"
    "  DHCP                : Disabled\r\n"
    "\r\n"
    "iSCSI Configuration:\r\n"
    "  Initiator Name      : iqn.2000-04.com.example:host-0\r\n"
    "  Header Digest       : Disabled\r\n"
    "  Targets Logged In   : 2\r\n"
    "\r\n";

const char* const kFibreChannelHeader = "Fibre Channel Adapter Command Line Interface\r\n\r\n";
const char* const kIScsiHeader = "iSCSI Adapter Command Line Utility\r\n\r\n";

std::string Repeat(const std::string& header, const std::string& block, std::int64_t count) {
    std::string output = header;
    output.reserve(header.size() + block.size() * static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        output += block;
    }
    return output;
}

}  // namespace

std::string FibreChannelToolOutput(std::int64_t adapters) {
    return Repeat(kFibreChannelHeader, kFibreChannelPort, adapters);
}

std::string FibreChannelToolOutputWithoutEndMarkers(std::int64_t adapters) {
    std::string block = kFibreChannelPort;
    const std::string endMarker = "Finish in";
    block.erase(block.find(endMarker), endMarker.size());
    return Repeat("", block, adapters);
}

std::string IScsiToolOutput(std::int64_t adapters) { return Repeat(kIScsiHeader, kIScsiPort, adapters); }

}  // namespace bench
}  // namespace velkor
