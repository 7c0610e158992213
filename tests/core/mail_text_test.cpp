// How headers and the first body lines of a message read, as the TOP reply brings them.
// The same cases run natively (iconv) and under Wine (code pages), so both converters are
// held to the same answers.
#include "pop3/top_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string SubjectOf(const std::string& headers) {
    return pop3::ReadTopReply(headers + "\r\n\r\n.\r\n", 1024).subject;
}

std::string SummaryOf(const std::string& message) {
    return pop3::ReadTopReply(message + ".\r\n", 1024).summary;
}

} // namespace

TEST(MailText, HeadersReadAsTheSenderWroteThem) {
    const struct {
        const char* wire;
        const char* seen;
    } cases[] = {
        // Each encoding in either case, in the charsets mailers use.
        {"Subject: =?UTF-8?B?w4RyZ2VyIG1pdCBkZXIgQmFobg==?=", "Ärger mit der Bahn"},
        {"Subject: =?utf-8?b?w4RyZ2VyIG1pdCBkZXIgQmFobg?=", "Ärger mit der Bahn"},
        {"Subject: =?iso-8859-1?q?Gr=fc=DFe_aus_K=F6ln?=", "Grüße aus Köln"},
        {"Subject: =?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=", "会議のお知らせ"},
        {"Subject: =?KOI8-R?Q?=F0=D2=C9=D7=C5=D4_=C9=DA_=ED=CF=D3=CB=D7=D9?=", "Привет из Москвы"},
        {"Subject: =?Shift_JIS?B?k/qWe4zqgsyMj5a8?=", "日本語の件名"},
        {"Subject: =?EUC-JP?B?pLOk86TLpMGkz8Cks6Y=?=", "こんにちは世界"},
        {"Subject: =?GB2312?B?xOO6w8rAvec=?=", "你好世界"},
        {"Subject: =?GBK?B?vPLM5dbQzsQ=?=", "简体中文"},
        {"Subject: =?GB18030?B?1tDOxNPKvP4=?=", "中文邮件"},
        {"Subject: =?Big5?B?wWPF6aSkpOU=?=", "繁體中文"},
        {"Subject: =?EUC-KR?B?vsiz58fPvLy/5A==?=", "안녕하세요"},
        {"Subject: =?ks_c_5601-1987?B?vsiz58fPvLy/5A==?=", "안녕하세요"},
        {"Subject: =?windows-1251?Q?=C4=EE=E1=F0=FB=E9_=E4=E5=ED=FC?=", "Добрый день"},
        {"Subject: =?KOI8-U?Q?=F0=D2=C9=D7=A6=D4?=", "Привіт"},
        {"Subject: =?ISO-8859-2?Q?Za=BF=F3=B3=E6_g=EA=B6l=B1?=", "Zażółć gęślą"},
        {"Subject: =?ISO-8859-7?B?yuHr5+zd8eE=?=", "Καλημέρα"},
        {"Subject: =?ISO-8859-15?Q?Preis_5_=A4?=", "Preis 5 €"},
        {"Subject: =?windows-1250?Q?Dobr=FD_den?=", "Dobrý den"},
        {"Subject: =?ISO-8859-5?B?wtXh4g==?=", "Тест"},
        {"Subject: =?windows-1253?Q?=C5=EB=EB=DC=E4=E1?=", "Ελλάδα"},
        {"Subject: =?windows-1254?Q?G=FCnayd=FDn?=", "Günaydın"},
        {"Subject: =?ISO-8859-9?Q?=DDstanbul?=", "İstanbul"},
        {"Subject: =?windows-1257?Q?A=E8i=FB?= =?ISO-8859-13?Q?_A=E8i=FB?=", "Ačiū Ačiū"},
        {"Subject: =?ISO-8859-4?Q?=ABimene?= =?ISO-8859-3?Q?_=D8is?=", "Ģimene Ĝis"},
        {"Subject: =?windows-1255?B?+ezl7Q==?= =?ISO-8859-8?B?IPns5e0=?=", "שלום שלום"},
        {"Subject: =?windows-1256?B?49HNyMc=?= =?ISO-8859-6?B?IOXRzcjH?=", "مرحبا مرحبا"},
        {"Subject: =?windows-1258?Q?Xin_ch=E0o?=", "Xin chào"},
        {"Subject: =?ISO-8859-11?B?ysfRyrTV?=", "สวัสดี"},
        {"Subject: =?IBM866?Q?=8F=E0=A8=A2=A5=E2?= =?macintosh?Q?_Caf=8E_No=91l?=",
         "Привет Café Noël"},
        {"Subject: =?UTF-7?B?R3IrQVB3QTN3LWUgK0lLdy0=?=", "Grüße €"},
        {"Subject: =?utf-7?q?+2D0-x?=", "\xef\xbf\xbdx"}, // a broken shift
        // A language after the charset (RFC 2231).
        {"Subject: =?UTF-8*de?Q?Gr=C3=BC=C3=9Fe?=", "Grüße"},
        // Blanks and line breaks between encoded words vanish, also when a character is
        // split between them; next to plain text they stay.
        {"Subject: =?UTF-8?Q?=C3?= \t=?UTF-8?Q?=84rger?=", "Ärger"},
        {"Subject: =?UTF-8?Q?Gr=C3=BC?=\r\n =?UTF-8?Q?=C3=9Fe?=", "Grüße"},
        {"Subject: Re: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?= aus =?ISO-8859-1?Q?K=F6ln?=!",
         "Re: Grüße aus Köln!"},
        // Folding: the line break goes, the blank stays.
        {"Subject: a long\r\n\tsubject\r\n  folded", "a long subject  folded"},
        // Malformed words and an unknown charset stay exactly as written, the rest decodes.
        {"Subject: =?UTF-8?Q?bad=ZZ?= =?UTF-8?Q?ok?=", "=?UTF-8?Q?bad=ZZ?= ok"},
        {"Subject: =?UTF-8?X?abc?= =?UTF-8?B?w4Q*?= =?UTF-8?Q?open",
         "=?UTF-8?X?abc?= =?UTF-8?B?w4Q*?= =?UTF-8?Q?open"},
        {"Subject: =?x-unknown?Q?abc?= =?UTF-8?Q?=C3=84?=", "=?x-unknown?Q?abc?= Ä"},
        {"Subject: =??Q?abc?= =?UTF-8?Q?a b?=", "=??Q?abc?= =?UTF-8?Q?a b?="},
        // Unencoded 8-bit text: UTF-8 kept, anything else read as windows-1252.
        {"Subject: Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac",
         "Grüße €"},
        {"Subject: Gr\xfc\xdf"
         "e \x80 \x93x\x94",
         "Grüße € “x”"},
        // The value starts after the colon and its blanks; names in any case below.
        {"subject:Hello", "Hello"},
        {"Subject :\t  Spaced  ", "Spaced"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SubjectOf(c.wire), c.seen) << c.wire;
    }
    // A decoded name that looks like an address is shown in quotes.
    const pop3::TopReply reply = pop3::ReadTopReply(
        "from: =?utf-8?q?=22Bank=22_<sec@bank.example>?= <x@evil.example>\r\nTO: "
        "\"=?UTF-8?B?0JDQvdC90LA=?=\" <anna@example.ru>\r\nDATE: Mon, 7 Dec 2026\r\n\r\n.\r\n",
        1024);
    EXPECT_EQ(reply.from + "|" + reply.to + "|" + reply.date,
              "\"\\\"Bank\\\" <sec@bank.example>\" <x@evil.example>|\"Анна\" "
              "<anna@example.ru>|Mon, 7 Dec 2026");
}

TEST(MailText, SummariesShowTheTextAsWritten) {
    const struct {
        const char* name;
        std::string message; // as received after the status line, without the closing "."
        std::string seen;
    } cases[] = {
        {"dot-stuffed lines", "Subject: x\r\n\r\n..hidden\r\n.\tkept\r\nlast\r\n",
         ".hidden\r\n kept\r\nlast\r\n"},
        {"quoted-printable",
         "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: "
         "QUOTED-PRINTABLE\r\n\r\nGr=C3=BC=C3=9Fe aus dem sch=C3=B6nen K=C3=B6ln, wo es =\r\n"
         "regnet. 1+1=3D2\r\n",
         "Grüße aus dem schönen Köln, wo es regnet. 1+1=2\r\n"},
        {"base64 in ISO-8859-1",
         "Content-type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: base64\r\n\r\n"
         "U2No9m5lIEdy/N9lCkF1\r\nZiBXaWVkZXJzZWhlbg==\r\n",
         "Schöne Grüße\r\nAuf Wiedersehen"},
        {"multipart/alternative",
         "MIME-Version: 1.0\r\nContent-Type: multipart/alternative;\r\n boundary=\"b1\"\r\n\r\n"
         "This is a multi-part message in MIME format.\r\n--b1\r\nContent-Type: text/html; "
         "charset=utf-8\r\n\r\n<p>html</p>\r\n--b1\r\nContent-Type: text/plain; charset=KOI8-R\r\n"
         "Content-Transfer-Encoding: 8bit\r\n\r\n\xf0\xd2\xc9\xd7\xc5\xd4\r\n--b1--\r\n",
         "Привет"},
        {"HTML only",
         "Content-Type: text/html; charset=windows-1252\r\n\r\n<html><head><title>T</title>"
         "<style>p {color: red}</style></head><body><p>Caf\xe9 &amp; <b>Bar</b>,\r\n  "
         "open&nbsp;now&#33;</p><!-- <p>no</p> --><div>Line<br>two &#x2014; &euro;5 &bogus;"
         "</div><script>alert(1)</script></body></html>\r\n",
         "Café & Bar, open\xc2\xa0now!\r\nLine\r\ntwo — €5 &bogus;"},
        {"HTML ampersands that start no reference",
         "Content-Type: text/html\r\n\r\n<p>a && b &toolongname; &#;&lt;</p>\r\n",
         "a && b &toolongname; &#;<"},
        {"multipart/mixed with the text in a nested alternative",
         "Content-Type: multipart/mixed; boundary=outer\r\n\r\n--outer\r\nContent-Type: "
         "multipart/alternative; boundary=inner\r\n\r\n--inner\r\nContent-Type: text/plain; "
         "charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n\x1b$B$3$s$K$A$O\x1b(B\r\n"
         "--inner--\r\n--outer\r\nContent-Type: text/plain\r\nContent-Disposition: attachment\r\n"
         "\r\nfile\r\n--outer--\r\n",
         "こんにちは"},
        {"the lines end in a part's headers",
         "Content-Type: multipart/mixed; boundary=\"x\"\r\n\r\npreamble\r\n--x\r\nContent-Type: "
         "text/plain;\r\n",
         ""},
        {"an attachment only", "Content-Type: application/pdf\r\n\r\nJVBERi0xLjQK\r\n", ""},
        // Faults of mailers in the wild.
        {"a '<' that opens no tag", "Content-Type: text/html\r\n\r\n<p>if a < b and c > d</p>\r\n",
         "if a < b and c > d"},
        {"base64 in padded chunks", "Content-Transfer-Encoding: base64\r\n\r\nQQ==\r\nQg==\r\n",
         "AB"},
        {"an RFC 2231 boundary",
         "Content-Type: multipart/mixed; boundary*=''b%3D1\r\n\r\n--b=1\r\nContent-Type: "
         "text/plain\r\n\r\npart\r\n--b=1--\r\n",
         "part"},
        {"an RFC 2231 charset in pieces",
         "Content-Type: text/plain; charset*0*=iso-8859-1'de'iso-; charset*1=8859-15\r\n\r\n"
         "\xa4 5\r\n",
         "€ 5\r\n"},
        {"a forwarded message",
         "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\nContent-Type: "
         "message/rfc822\r\n\r\nSubject: old\r\n\r\ninner text\r\n--x--\r\n",
         "inner text"},
        {"UTF-8 labelled us-ascii",
         "Content-Type: text/plain; charset=us-ascii\r\n\r\nGr\xc3\xbc\xc3\x9f"
         "e\r\n",
         "Grüße\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SummaryOf(c.message), c.seen) << c.name;
    }
    // Long text is cut after 1024 characters, never inside one.
    std::string cyrillic = "Content-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int i = 0; i < 1100; ++i) {
        cyrillic += "\xd0\x96";
    }
    EXPECT_EQ(SummaryOf(cyrillic + "\r\n").size(), 2048u);
}
