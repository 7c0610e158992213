// The server's replies, as the fuzzer makes them, through the real session, account and
// report code: a check or a deletion, in plain text, with STLS or with TLS.
//
// Input: a mode byte, a detail byte, then the server's bytes.
//   mode bits 0-1: security (none, STLS, TLS); bit 2: delete instead of check; bit 3: no
//   summaries; bit 4: the deletion names an expected uid; bits 5-7: size of the pieces the
//   server's bytes arrive in.
//   detail: the message to delete, or the count (and uids "1".."n") of the previous list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/report.h"
#include "pop3/messages.h"
#include "properties.h"
#include "replay.h"
#include "settings/account.h"
#include "settings/profile.h"

namespace {

const char kPassword[] = "pw-7f3a9c";
const std::size_t kPieces[] = {1, 2, 5, 17, 64, 512, 4096, 65536};

bool StartsLine(const std::string& sent, const char* command) {
    const std::string text = command;
    for (std::size_t at = sent.find(text); at != std::string::npos; at = sent.find(text, at + 1))
        if (at == 0 || sent[at - 1] == '\n')
            return true;
    return false;
}

void CheckTheOutput(const Account& account, const Messages* list) {
    const cli::Report report = cli::MakeReport(account, list);
    const std::string text = cli::FormatText(report);
    fuzz::Require(fuzz::FirstControl(text) == std::string::npos,
                  "no control characters in the text output", text);
    fuzz::Require(fuzz::FirstControl(report.error) == std::string::npos &&
                      report.error.find_first_of("\t\n") == std::string::npos,
                  "the failure text is one line without control characters", report.error);
    const std::string json = cli::FormatJson(report);
    std::string why;
    fuzz::Require(fuzz::IsUtf8(json), "the JSON output is UTF-8", json);
    fuzz::Require(fuzz::IsJson(json, why), "the JSON output parses: " + why, json);
    // A list that does not match the count is wrong data shown as good.
    fuzz::Require(!report.hasList || static_cast<int>(report.entries.size()) == report.count,
                  "a list holds one row per counted message", text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No handshake can succeed here, and parsing the system's whole trust store for each
    // one would make TLS inputs a hundred times slower than the rest.
    setenv("SSL_CERT_FILE", "/dev/null", 1);
    setenv("SSL_CERT_DIR", "/nonexistent", 1);
    // A server's LOGIN-DELAY is kept in the profile: never in the user's own.
    Profile::UseFile("/nonexistent/tarnwick-fuzz.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t mode = data[0];
    const std::uint8_t detail = data[1];
    const auto security = static_cast<pop3::Security>((mode & 3) % 3);
    replay::Serve(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2),
                  kPieces[mode >> 5]);

    Account account;
    account.Set("ann", kPassword, "127.0.0.1", 8, (mode & 8) != 0 ? 0 : 1);
    account.m_Security = security;
    const bool encrypted = (detail & 0x80) != 0;
    account.m_LoginMethod = encrypted ? pop3::LoginMethod::Encrypted : pop3::LoginMethod::Normal;
    if ((mode & 4) != 0) {
        account.DeleteMessage(detail % 16 + 1, (mode & 16) != 0 ? std::to_string(detail) : "");
    } else {
        const int previous = detail % 8;
        std::unique_ptr<Messages> list;
        if (previous > 0) {
            list = std::make_unique<Messages>(previous);
            for (int i = 0; i < previous; ++i) {
                list->Add("a", "s", 1, "");
                list->SetUid(i, std::to_string(i + 1));
            }
            account.m_MessageCount = previous;
        }
        Messages* raw = list.release();
        account.CheckMail(raw);
        list.reset(raw);
        CheckTheOutput(account, list.get());
    }

    const std::string& sent = replay::Sent();
    if (security != pop3::Security::None) {
        // Nothing can complete a handshake against replayed bytes, so the login must never
        // have gone out at all.
        fuzz::Require(!StartsLine(sent, "USER ") && !StartsLine(sent, "PASS ") &&
                          !StartsLine(sent, "AUTH ") && !StartsLine(sent, "APOP ") &&
                          sent.find(kPassword) == std::string::npos,
                      "no login before TLS", sent);
    }
    if (encrypted) {
        // CRAM-MD5 and APOP send a digest; nothing may ever send the password itself.
        fuzz::Require(sent.find(kPassword) == std::string::npos,
                      "an encrypted login never sends the password", sent);
    }
    return 0;
}
