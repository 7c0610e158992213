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
    // RFC 1321, appendix A.5; the last ones cross one and two block boundaries.
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    std::string eighty;
    for (int i = 0; i < 8; ++i) {
        eighty += "1234567890";
    }
    EXPECT_EQ(Md5Hex(eighty), "57edf4a22be3c955ac49da2e2107b67a");
    // RFC 2104 and RFC 2202, the last with a key longer than a block.
    EXPECT_EQ(HmacHex(std::string(16, '\x0b'), "Hi There"), "9294727a3638bb1c13f48ef8158bfc9d");
    EXPECT_EQ(HmacHex("Jefe", "what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738");
    EXPECT_EQ(
        HmacHex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
        "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

TEST(LoginMethods, ApopCramMd5AndPlainGiveTheRfcExamples) {
    // RFC 1939, section 7.
    const std::string stamp =
        pop3::ApopTimestamp("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(stamp, "<1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(pop3::ApopDigest(stamp, "tanstaaf"), "c4c9334bac560ecc979e58001b3e22fb");
    // RFC 2195, section 2.
    std::string response;
    ASSERT_TRUE(pop3::CramMd5Response("PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
                                      "tim", "tanstaaftanstaaf", response));
    EXPECT_EQ(response, "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
    EXPECT_FALSE(pop3::CramMd5Response("not base64!", "tim", "tanstaaftanstaaf", response));
    // RFC 4616, section 4: "\0tim\0tanstaaftanstaaf".
    EXPECT_EQ(pop3::SaslPlainResponse("tim", "tanstaaftanstaaf"), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");
}

TEST(LoginMethods, OnlyAWellFormedGreetingTimestampIsTaken) {
    EXPECT_EQ(pop3::ApopTimestamp("+OK Dovecot ready. <4f2.1a@mail.example>"),
              "<4f2.1a@mail.example>");
    EXPECT_EQ(pop3::ApopTimestamp("+OK POP3 ready"), "");
    EXPECT_EQ(pop3::ApopTimestamp("+OK <no-at-sign> ready"), "");
    EXPECT_EQ(pop3::ApopTimestamp("+OK <1.2@host"), "");
    EXPECT_EQ(pop3::ApopTimestamp("+OK <1 2@host>"), "");
    EXPECT_EQ(pop3::ApopTimestamp(std::string("+OK <1\x1b@host>")), "");
    EXPECT_EQ(pop3::ApopTimestamp("+OK <" + std::string(600, 'a') + "@h>"), "");
}

} // namespace
