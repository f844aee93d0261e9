// The shared SHA-512 crypt against Linux's libcrypt, and the credentials
// file's type and mode bits.
#include "TestEnvironment.h"
#include "wbem/Credentials.h"
#include "wbem/Sha512Crypt.h"

#include <crypt.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

TEST(Sha512Crypt, MatchesLibcrypt) {
    const struct {
        std::string password;
        std::string setting;
        std::string libcryptSetting;  // when libcrypt refuses what the algorithm clamps
    } cases[] = {
        {"secret", "$6$saltsalt", ""},
        {"secret", "$6$0123456789abcdef", ""},
        {"secret", "$6$0123456789abcdefXYZ$", ""},  // salt cut after 16 characters
        {"", "$6$emptypassword", ""},
        {"secret", "$6$rounds=5000$explicit", ""},
        {"secret", "$6$rounds=10$clamped", "$6$rounds=1000$clamped"},
        {std::string(65, 'x'), "$6$rounds=1000$len65", ""},
        {std::string(128, 'y'), "$6$rounds=1000$len128", ""},
        {std::string(200, 'z') + "\xC3\xA9", "$6$rounds=1000$len202", ""},
        {std::string(511, 'w'), "$6$rounds=1000$len511", ""},
        {"p\xC3\xA4ssw\xC3\xB6rd \xE2\x82\xAC \xF0\x9F\x94\x91", "$6$utf8", ""},
        {"p\xE4ssw\xF6rd\xFF\x80", "$6$latin1", ""},
        {"\x01\x7F\t:$", "$6$controls", ""},
    };
    for (const auto& c : cases) {
        auto data = std::make_unique<crypt_data>();
        const std::string setting = c.libcryptSetting.empty() ? c.setting : c.libcryptSetting;
        const char* expected = crypt_r(c.password.c_str(), setting.c_str(), data.get());
        ASSERT_TRUE(expected && expected[0] == '$') << setting;
        EXPECT_EQ(syv::wbem::Sha512Crypt(c.password, c.setting), expected) << c.setting;
    }
}

TEST(CredentialsFile, RefusesWhatIsNoPrivateRegularFile) {
    testsupport::ScratchFolder folder("credentials");
    const std::string users = folder.File("users");
    const std::string hash = syv::wbem::Sha512Crypt("secret", "$6$rounds=1000$s");
    testsupport::WriteFile(users, "ops:" + hash + "\n");
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string file;
        mode_t mode;
        std::string message;  // empty: accepted
    } cases[] = {
        {users, 0600, ""},
        {users, 0640, "may be read or written by others than its owner (chmod 600"},
        {users, 0620, "others than its owner"},
        {users, 0604, "others than its owner"},
        {fifo, 0600, "fifo: is not a regular file"},  // must not wait for a writer
        {folder.Path(), 0700, "is a folder"},
        {folder.File("missing"), 0, "missing: cannot read it: No such file"},
    };
    for (const auto& c : cases) {
        if (c.mode) {
            ASSERT_EQ(chmod(c.file.c_str(), c.mode), 0);
        }
        try {
            EXPECT_TRUE(syv::wbem::Credentials::Read(c.file).Accepts("ops", "secret"));
            EXPECT_EQ(c.message, "") << c.file;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(c.message, "") << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
