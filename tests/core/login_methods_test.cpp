// The login's digests and greeting timestamp as pure pieces; the methods on the wire, with
// the RFCs' APOP, CRAM-MD5 and PLAIN examples, are in pop3_login_test.
#include <gtest/gtest.h>

#include <string>

#include "pop3/login_methods.h"
#include "pop3/md5.h"

namespace {

std::string Md5Hex(const std::string& text) {
    return pop3::ToHex(pop3::Md5(text));
}

std::string HmacHex(const std::string& key, const std::string& text) {
    return pop3::ToHex(pop3::HmacMd5(key, text));
}

TEST(LoginDigests, Md5AndHmacMd5GiveThePublishedTestVectors) {
    // RFC 1321, appendix A.5: empty, and padding that needs a block of its own (two blocks
    // whole are CRAM-MD5's on the wire in pop3_login_test).
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    // RFC 2202, a key longer than a block; a short key is CRAM-MD5's.
    EXPECT_EQ(
        HmacHex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
        "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

TEST(LoginMethods, OnlyAWellFormedGreetingTimestampIsTaken) {
    EXPECT_EQ(pop3::ApopTimestamp("+OK Dovecot ready. <4f2.1a@mail.example>"),
              "<4f2.1a@mail.example>");
    for (const std::string bad : {"+OK POP3 ready", "+OK <no-at-sign> ready", "+OK <1.2@host",
                                  "+OK <1 2@host>", "+OK <1\x1b@host>"}) {
        EXPECT_EQ(pop3::ApopTimestamp(bad), "") << bad;
    }
    EXPECT_EQ(pop3::ApopTimestamp("+OK <" + std::string(600, 'a') + "@h>"), "");
}

} // namespace
