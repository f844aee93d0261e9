// The credentials file's type and access control list. Wine keeps no list of
// its own for a file: it makes one from the Unix mode bits (owner, SYSTEM,
// and Everyone for the bits of others) and turns a list it is given into mode
// bits. So the lists naming other accounts are checked on descriptors made in
// memory, and on files only what mode bits can carry.
#include "TestEnvironment.h"
#include "wbem/Credentials.h"
#include "wbem/Sha512Crypt.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

struct Descriptor {
    explicit Descriptor(const wchar_t* sddl) {
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    }
    ~Descriptor() { LocalFree(descriptor); }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

TEST(CredentialsFile, RefusesAccessForOthersThanTheOwner) {
    const struct {
        const wchar_t* sddl;
        std::string others;
    } cases[] = {
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;SY)(A;;FA;;;S-1-5-21-1-2-3-1000)(A;;FA;;;BA)", ""},
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;S-1-5-21-1-2-3-1000)(A;;FR;;;BU)", "Users"},
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;S-1-5-21-1-2-3-1000)(A;;0x1200a9;;;WD)", "Everyone"},
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;FW;;;AU)", "Authenticated Users"},
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;0x4;;;S-1-5-21-1-2-3-1001)", "S-1-5-21-1-2-3-1001"},  // append only
        {L"O:S-1-5-21-1-2-3-1000D:P(A;;GR;;;S-1-5-21-1-2-3-1001)", "S-1-5-21-1-2-3-1001"},
        {L"O:S-1-5-21-1-2-3-1000D:P(A;OICIIO;FA;;;WD)(D;;FA;;;WD)(A;;0x120080;;;WD)", ""},  // none grants data
        {L"O:BUD:P(A;;FA;;;BU)", "Users (its owner)"},
    };
    for (const auto& c : cases) {
        const std::string others = syv::wbem::OthersWithAccess(Descriptor(c.sddl).descriptor);
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
    const struct {
        std::string file;
        const wchar_t* sddl;  // given to the file first, inherited from nowhere
        std::string message;  // empty: accepted
    } cases[] = {
        {users, L"D:P(A;;FA;;;OW)(A;;FA;;;SY)", ""},
        {users, L"D:P(A;;FA;;;OW)(A;;FR;;;BU)", "others than its owner, SYSTEM and Administrators"},
        {folder.Path(), nullptr, "is a folder"},
        {folder.File("missing"), nullptr, "missing: cannot read it: "},
        {"NUL", nullptr, "NUL: is not a regular file"},
    };
    for (const auto& c : cases) {
        if (c.sddl) {
            const Descriptor given(c.sddl);
            BOOL present = FALSE, defaulted = FALSE;
            PACL dacl = nullptr;
            GetSecurityDescriptorDacl(given.descriptor, &present, &dacl, &defaulted);
            std::wstring path = std::filesystem::u8path(c.file).wstring();
            const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
            ASSERT_EQ(SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr), 0u);
        }
        try {
            EXPECT_TRUE(syv::wbem::Credentials::Read(c.file).Accepts("ops", "secret"));
            EXPECT_EQ(c.message, "") << c.file;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_NE(c.message, "") << error.what();
        }
    }
}

}  // namespace
