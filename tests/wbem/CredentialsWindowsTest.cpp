// The credentials file's type and access control list. Wine keeps no list of
// its own for a file: it makes one from the Unix mode bits (owner, SYSTEM,
// and Everyone for the bits of others), and turns a list it is given into
// mode bits (those of others set unless Everyone is denied). So lists naming
// other accounts are checked on descriptors made in memory, and on files only
// what mode bits carry.
#include "ErrorOf.h"
#include "TestEnvironment.h"
#include "wbem/Credentials.h"
#include "wbem/Sha512Crypt.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

struct Descriptor {
    explicit Descriptor(const std::wstring& sddl) {
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr));
    }
    ~Descriptor() { LocalFree(sd); }
    PSECURITY_DESCRIPTOR sd = nullptr;
};

TEST(CredentialsFile, RefusesAccessForOthersThanTheOwner) {
    const std::wstring owned = L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;S-1-5-21-1-2-3-1000)";
    const struct { std::wstring sddl; std::string others; } cases[] = {
        {owned + L"(A;;FA;;;SY)(A;;FA;;;BA)", ""}, {owned + L"(A;;FR;;;BU)", "Users"},
        {owned + L"(A;;0x1200a9;;;WD)", "Everyone"}, {owned + L"(A;;FW;;;AU)", "Authenticated Users"},
        {owned + L"(A;;GR;;;S-1-5-21-1-2-3-1001)", "S-1-5-21-1-2-3-1001"},
        {owned + L"(A;OICIIO;FA;;;WD)(D;;FA;;;WD)(A;;0x120080;;;WD)", ""},  // none applies or grants data
        {L"O:BUD:P(A;;FA;;;BU)", "Users (its owner)"},
    };
    for (const auto& c : cases) {
        const std::string others = syv::wbem::OthersWithAccess(Descriptor(c.sddl).sd);
        EXPECT_TRUE(c.others.empty() ? others.empty() : others.find(c.others) != std::string::npos) << others;
    }
    // Wine's SDDL reader makes an empty list of "D:NO_ACCESS_CONTROL".
    SECURITY_DESCRIPTOR open;
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_NE(syv::wbem::OthersWithAccess(&open).find("no access control list"), std::string::npos);
}

TEST(CredentialsFile, RefusesWhatIsNoPrivateRegularFile) {
    testsupport::ScratchFolder folder("credentials");
    const std::string users = folder.File("users");
    testsupport::WriteFile(users, "ops:" + syv::wbem::Sha512Crypt("secret", "$6$rounds=1000$s") + "\r\n");
    // Syvhost reading a file only its owner may use is checked end to end
    // (wbemcli_test.py), where the file's mode bits are set.
    std::wstring path = std::filesystem::u8path(users).wstring();
    const Descriptor usersRead(L"D:P(A;;FR;;;BU)");
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(usersRead.sd, &present, &dacl, &defaulted);
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    ASSERT_EQ(SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr), 0u);
    const struct { std::string file, message; } cases[] = {
        {users, "others than its owner, SYSTEM and Administrators"}, {folder.Path(), "is a folder"},
        {folder.File("missing"), "missing: cannot read it: "}, {"NUL", "NUL: is not a regular file"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(ErrorOf([&] { syv::wbem::Credentials::Read(c.file); }).find(c.message), std::string::npos) << c.file;
    }
}

}  // namespace
