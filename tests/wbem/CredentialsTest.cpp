// Who may use the server: the credentials file checked whole at start, the
// hashes verified alike on every platform, HTTP Basic read strictly.
#include "ErrorOf.h"
#include "wbem/BasicAuth.h"
#include "wbem/Credentials.h"
#include "wbem/Sha512Crypt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using syv::wbem::Credentials;

// Made by `openssl passwd -6` from "secret". That the hashes come out alike
// on every platform, the libcrypt comparison and the end-to-end tests of both
// builds (which hash with openssl) show.
const std::string kGood =
    "$6$kT3jq9Wc0xYz2AbC$1cyhwlby7TquAUO7JP/jXAWBGLpSVe9Ssv1nLdXELIOENpaeBF18JiZpixoKkW5/M2vZuo75deYtHFc6RqG.8.";

TEST(Credentials, RefusesFilesThatCanNeverWork) {
    const std::string digest = kGood.substr(kGood.rfind('$') + 1);
    const struct { std::string text, message; } cases[] = {
        {"ops:" + kGood + " \n", "f:1: the hash ends in a blank"},
        {"ops:" + kGood + "\xC2\xA0", "f:1: the hash holds the byte 0xC2"},
        {"ops:$1$abc$Ab.cdEfgh/ijkLmnop01\n", "the hash method $1$ is not verified here"},
        {"ops:$5$salt$" + digest.substr(0, 43), "method $5$"}, {"ops:$zz$salt$" + digest, "method $zz$"},
        {"ops:secret", "a plain password?"}, {"ops:$6$rounds=05000$salt$" + digest, "without leading zeros"},
        {"ops:$6$rounds=999$salt$" + digest, "rounds= must be a number from 1000"},
        {"ops:$6$rounds=1000000000$salt$" + digest, "rounds="}, {"ops:$6$$" + digest, "the salt has 0 characters"},
        {"ops:$6$0123456789abcdefg$" + digest, "the salt has 17 characters"},
        {"ops:$6$sa=t$" + digest, "the salt holds '='"}, {"ops:$6$salt" + digest, "no '$' between its salt"},
        {"ops:$6$salt$" + digest.substr(1), "85 characters, not 86"},
        {"ops:$6$salt$" + digest.substr(1) + "z", "ends in a character no SHA-512 crypt hash ends in"},
        {"# users\r\n\r\nops:" + kGood + "\r\nops:" + kGood + "\r\n", "f:4: the user of line 3 is listed again"},
        {"ops:" + kGood + "\n:" + kGood, "f:2: the user name is empty"}, {"o\tps:" + kGood, "control character 0x09"},
        {std::string("o\0s:", 4) + kGood, "control character 0x00"},
        {"ops " + kGood, "f:1: not \"user:hash\" (no colon)"}, {"# nobody\n\n  \n", "--credentials f: names no user"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(ErrorOf([&] { Credentials::Parse(c.text, "f"); }).find(c.message), std::string::npos) << c.text;
    }
}

TEST(Credentials, UnknownUsersCostTheRoundsOfTheCostliestEntry) {
    const std::string fast = syv::wbem::Sha512Crypt("quick", "$6$rounds=1000$fast"),
                      slow = syv::wbem::Sha512Crypt("slow", "$6$rounds=7000$slow");
    std::vector<unsigned> spent;  // the rounds of each hash computed
    const Credentials::HashFunction counted = [&](std::string_view password, std::string_view setting) {
        spent.push_back(syv::wbem::ReadSha512Setting(setting).rounds);
        return syv::wbem::Sha512Crypt(password, setting);
    };
    const std::string text = "\xEF\xBB\xBF# ops\r\nops:" + kGood + "\r\nfast:" + fast + "\nslow:" + slow + "\n";
    const Credentials users = Credentials::Parse(text, "f", counted);
    const struct { std::string user, password; bool accepted; unsigned rounds; } cases[] = {
        {"ops", "secret", true, 5000},   {"ops", "secreT", false, 5000}, {"fast", "quick", true, 1000},
        {"slow", "slow", true, 7000},    {"slow", "", false, 7000},      {"nobody", "secret", false, 7000},
        {"", "", false, 7000},           {"Ops", "secret", false, 7000}, {"ops", std::string(512, 's'), false, 0},
        {"nobody", std::string(512, 's'), false, 0},
    };
    for (const auto& c : cases) {
        spent.clear();
        EXPECT_EQ(users.Accepts(c.user, c.password), c.accepted) << c.user;
        EXPECT_EQ(spent, c.rounds ? std::vector<unsigned>{c.rounds} : std::vector<unsigned>{}) << c.user;
    }
}

TEST(BasicAuth, DecodesOnlyCanonicalBasicCredentials) {
    const struct { std::string header, decoded; } cases[] = {  // decoded: "user|password"; empty: refused
        {"Basic b3BzOnNlY3JldA==", "ops|secret"}, {"basic  b3BzOnNlY3JldA==", "ops|secret"},
        {"Basic b3BzOnNlY3JldDE=", "ops|secret1"}, {"Basic b3BzOnNlY3JldDEy", "ops|secret12"},
        {"Basic OnA6cQ==", "|p:q"}, {"Basic w6Q6w7Y=", "\xC3\xA4|\xC3\xB6"},
        {"Basic b3BzOnNlY3JldABqdW5r", ""},  // "ops:secret\0junk"
        {"Basic AG9wczpzZWNyZXQ=", ""},      // "\0ops:secret"
        {"Basic b3Bz", ""},                  // "ops": no colon
        // Text after the padding, no padding, too little or too much, '=' inside, padding bits set, a blank, the
        // URL alphabet, no credentials, other schemes.
        {"Basic b3BzOnNlY3JldA==b3Bz", ""}, {"Basic b3BzOnNlY3JldA", ""}, {"Basic b3BzOnNlY3JldA=", ""},
        {"Basic b3BzOnNlY3JldA===", ""}, {"Basic b3BzOnNlY3Jl=dA=", ""}, {"Basic b3BzOnNlY3JldB==", ""},
        {"Basic b3BzOnNl Y3JldA==", ""}, {"Basic b3BzOnNlY3JldA-_", ""}, {"Basic", ""}, {"", ""},
        {"Bearer b3BzOnNlY3JldA==", ""}, {"Basicb3BzOnNlY3JldA==", ""},
    };
    for (const auto& c : cases) {
        const auto decoded = syv::wbem::DecodeBasic(c.header);
        EXPECT_EQ(decoded ? decoded->user + "|" + decoded->password : "", c.decoded) << c.header;
    }
}

}  // namespace
