// The texts that every part of the collector agrees on byte for byte: served
// class names, tool paths, output markers and labels, name prefixes.
#ifndef VELKOR_PLUGIN_CONSTANTS_H
#define VELKOR_PLUGIN_CONSTANTS_H

#include <string>

namespace velkor {

// Built when the library loads, before it is attached. Only running out of
// memory could make that throw, and a library loaded that short of memory
// cannot work anyway. Those marked "unread" belong to the set but no code
// reads them.
// NOLINTBEGIN(cert-err58-cpp)
inline const std::string kVendorName = "QLogic Corp.";
// The doubled slash is passed to the process service as it stands.
inline const std::string kFibreChannelToolPath = "qlogic//scli.exe";
inline const std::string kFibreChannelToolAltPath = "./qlogic/scli";  // unread
inline const std::string kLineEnd = "\r";
inline const std::string kFibreChannelRawDataClass = "ORNSG_QLogicFibreChannelRawData";
inline const std::string kFibreChannelFirmwareElementClass = "ORNSG_QLogicFibreChannelFirmwareElement";
inline const std::string kFibreChannelBiosElementClass = "ORNSG_QLogicFibreChannelBIOSElement";
inline const std::string kFibreChannelControllerFirmwareClass = "ORNSG_QLogicFibreChannelControllerFirmware";
inline const std::string kFibreChannelControllerBiosClass = "ORNSG_QLogicFibreChannelControllerBIOS";
inline const std::string kFibreChannelControllerClass = "ORNSG_QLogicFibreChannelSCSIProtocolController";
inline const std::string kFibreChannelNamePrefix = "QLogic Fibre Channel";
inline const std::string kFibreChannelFirmwareIdPrefix = "QLogic Fibre Channel Firmware";
inline const std::string kFibreChannelBiosIdPrefix = "QLogic Fibre Channel BIOS";
inline const std::string kFibreChannelBlockStart = "HBA General Information";
inline const std::string kFibreChannelModelLabel = "HBA Model";
inline const std::string kFibreChannelDriverVersionLabel = "Driver Version";  // unread
inline const std::string kFibreChannelBiosVersionLabel = "BIOS Version";
inline const std::string kFibreChannelFlashFirmwareVersionLabel = "Flash Firmware Version";
inline const std::string kFibreChannelDriverFirmwareVersionLabel = "Driver Firmware Version";
inline const std::string kFibreChannelVpdSection = "HBA VPD Information";
inline const std::string kFibreChannelBlockEnd = "Finish in";
inline const std::string kFibreChannelNoAdapterText = "No compatible HBA(s) found in current system";  // unread
inline const std::string kIScsiToolPath = "qlogic//iscli.exe";
inline const std::string kIScsiToolAltPath = "./qlogic/iscli";  // unread
inline const std::string kIScsiNoAdapterText = "No HBAs detected";  // unread
inline const std::string kIScsiRawDataClass = "ORNSG_QLogicIScsiRawData";
inline const std::string kIScsiFirmwareElementClass = "ORNSG_QLogicIScsiFirmwareElement";
inline const std::string kIScsiBiosElementClass = "ORNSG_QLogicIScsiBIOSElement";
inline const std::string kIScsiControllerFirmwareClass = "ORNSG_QLogicIScsiControllerFirmware";
inline const std::string kIScsiControllerBiosClass = "ORNSG_QLogicIScsiControllerBIOS";
inline const std::string kIScsiControllerClass = "ORNSG_QLogicIScsiSCSIProtocolController";
inline const std::string kIScsiNamePrefix = "QLogic iScsi HBA";
inline const std::string kIScsiFirmwareIdPrefix = "QLogic iScsi HBA Firmware";
inline const std::string kIScsiBiosIdPrefix = "QLogic iScsi HBA BIOS";
inline const std::string kIScsiPresenceMarker = "Displaying Port inst";
inline const std::string kIScsiBlockStart = "Board Type";
inline const std::string kIScsiModelLabel = "Chip Model";
inline const std::string kIScsiDriverVersionLabel = "Driver Version";  // unread
inline const std::string kIScsiFirmwareVersionLabel = "Firmware Version";
inline const std::string kIScsiRomVersionLabel = "ROM Version";
// NOLINTEND(cert-err58-cpp)

}  // namespace velkor

#endif
