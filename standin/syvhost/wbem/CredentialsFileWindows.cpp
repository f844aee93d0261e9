#include "wbem/Credentials.h"

#include "WindowsText.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>
#include <system_error>

namespace syv {
namespace wbem {

namespace {

std::runtime_error FileError(const std::string& file, const std::string& reason) {
    return std::runtime_error("--credentials " + file + ": " + reason);
}

std::string SystemText(DWORD code) { return std::system_category().message(static_cast<int>(code)); }

std::wstring Wide(const std::string& file) {
    if (file.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, file.data(), static_cast<int>(file.size()),
                                         nullptr, 0);
    if (size <= 0) throw FileError(file, "the name is not UTF-8");
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, file.data(), static_cast<int>(file.size()), &wide[0], size);
    return wide;
}

// "DOMAIN\name", or the SID's text when it names no account.
std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        return domain[0] ? Utf8Text(domain) + "\\" + Utf8Text(name) : Utf8Text(name);
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
    const std::string shown = Utf8Text(text);
    LocalFree(text);
    return shown;
}

bool IsTrusted(PSID sid, PSID owner) {
    return (owner && EqualSid(sid, owner)) || IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
}

struct Handle {
    HANDLE handle;
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace

std::string OthersWithAccess(const void* securityDescriptor) {
    const auto descriptor = const_cast<PSECURITY_DESCRIPTOR>(securityDescriptor);
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return "anyone (its access rights cannot be read: " + SystemText(GetLastError()) + ")";
    }
    if (!present || !dacl) return "anyone (it has no access control list)";
    // An owner that is a group of everyone trusts no one.
    if (owner && (IsWellKnownSid(owner, WinWorldSid) || IsWellKnownSid(owner, WinBuiltinUsersSid) ||
                  IsWellKnownSid(owner, WinAuthenticatedUserSid))) {
        return AccountName(owner) + " (its owner)";
    }
    const ACCESS_MASK readOrWrite = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                    GENERIC_READ | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return "anyone (its access control list cannot be read)";
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Denials are not weighed: any grant to another is refused.
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & readOrWrite) && !IsTrusted(sid, owner)) return AccountName(sid);
    }
    return "";
}

std::string ReadPrivateFile(const std::string& file) {
    const std::wstring path = Wide(file);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw FileError(file, "cannot read it: " + SystemText(GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw FileError(file, "is a folder, not a file");
    const Handle in{CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (in.handle == INVALID_HANDLE_VALUE) throw FileError(file, "cannot read it: " + SystemText(GetLastError()));
    // Devices, consoles and pipes are refused before a byte is read.
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(in.handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(in.handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw FileError(file, "is not a regular file");
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status =
        GetSecurityInfo(in.handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) throw FileError(file, "cannot read its access rights: " + SystemText(status));
    const std::string others = OthersWithAccess(descriptor);
    LocalFree(descriptor);
    if (!others.empty()) {
        throw FileError(file, "may be read or written by others than its owner, SYSTEM and Administrators (" + others +
                                  "); let only its owner use it (icacls \"" + file +
                                  "\" /inheritance:r /grant:r \"%USERNAME%:F\")");
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.handle, buffer, sizeof buffer, &got, nullptr)) {
            throw FileError(file, "cannot read it: " + SystemText(GetLastError()));
        }
        if (got == 0) break;
        text.append(buffer, got);
    }
    return text;
}

}  // namespace wbem
}  // namespace syv
