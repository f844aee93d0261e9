// The shared SHA-512 crypt against Linux's libcrypt, and the credentials
// file's type and mode bits.
#include "ErrorOf.h"
#include "TestEnvironment.h"
#include "wbem/Credentials.h"
#include "wbem/Sha512Crypt.h"

#include <crypt.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(Sha512Crypt, MatchesLibcrypt) {
    const struct { std::string password, setting; } cases[] = {
        {"secret", "$6$saltsalt"}, {"secret", "$6$0123456789abcdef"},
        {"secret", "$6$0123456789abcdefXYZ$"},  // salt cut after 16 characters
        {"", "$6$emptypassword"}, {"secret", "$6$rounds=5000$explicit"}, {"secret", "$6$rounds=1001$odd"},
        {std::string(65, 'x'), "$6$rounds=1000$len65"}, {std::string(128, 'y'), "$6$rounds=1000$len128"},
        {std::string(200, 'z') + "\xC3\xA9", "$6$rounds=1000$len202"}, {std::string(511, 'w'), "$6$rounds=1000$w"},
        {"p\xC3\xA4ssw\xC3\xB6rd \xE2\x82\xAC \xF0\x9F\x94\x91", "$6$utf8"}, {"p\xE4ssw\xF6rd\xFF\x80", "$6$latin1"},
        {"\x01\x7F\t:$", "$6$controls"},
    };
    auto data = std::make_unique<crypt_data>();
    for (const auto& c : cases) {
        const char* expected = crypt_r(c.password.c_str(), c.setting.c_str(), data.get());
        ASSERT_TRUE(expected && expected[0] == '$') << c.setting;
        EXPECT_EQ(syv::wbem::Sha512Crypt(c.password, c.setting), expected) << c.setting;
    }
    // libcrypt refuses the rounds that the published algorithm clamps.
    EXPECT_EQ(syv::wbem::Sha512Crypt("secret", "$6$rounds=10$clamped"),
              crypt_r("secret", "$6$rounds=1000$clamped", data.get()));
}

TEST(CredentialsFile, RefusesWhatIsNoPrivateRegularFile) {
    testsupport::ScratchFolder folder("credentials");
    const std::string users = folder.File("users"), fifo = folder.File("fifo");
    testsupport::WriteFile(users, "ops:" + syv::wbem::Sha512Crypt("secret", "$6$rounds=1000$s") + "\n");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct { std::string file; mode_t mode; std::string message; } cases[] = {  // no message: accepted
        {users, 0600, ""}, {users, 0640, "may be read or written by others than its owner (chmod 600"},
        {users, 0620, "others than its owner"}, {users, 0604, "others than its owner"},
        {fifo, 0600, "fifo: is not a regular file"},  // must not wait for a writer
        {folder.Path(), 0700, "is a folder"}, {folder.File("missing"), 0, "missing: cannot read it: No such file"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.mode ? chmod(c.file.c_str(), c.mode) : 0, 0);
        const std::string error =
            ErrorOf([&] { EXPECT_TRUE(syv::wbem::Credentials::Read(c.file).Accepts("ops", "secret")); });
        EXPECT_EQ(error.empty(), c.message.empty()) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
