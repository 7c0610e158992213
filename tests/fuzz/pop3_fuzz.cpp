// The server's replies, as the fuzzer makes them, through the real session, account and
// report code: a check or a deletion, in plain text, with STLS or with TLS.
//
// Input: a mode byte, a detail byte, then the server's bytes.
//   mode bits 0-1: security (none, STLS, TLS); bit 2: delete instead of check; bit 3: no
//   summaries; bit 4: the deletion names an expected uid; bits 5-7: size of the pieces the
//   server's bytes arrive in.
//   detail: the message to delete (bits 0-3), or the count (and uids "1".."n") of the
//   previous list (bits 0-2); the expected unique id and size of a deletion; bit 7: after
//   its bytes the server falls silent instead of closing.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/report.h"
#include "pop3/messages.h"
#include "pop3/reply_reader.h"
#include "pop3/top_reply.h"
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

// The header block a row without a unique id was built from; the replies must show it again
// before a DELE may go out.
const char kRowHeaders[] = "From: a\r\nSubject: s\r\n";

MessageIdentity Expected(std::uint8_t mode, std::uint8_t detail) {
    MessageIdentity expected;
    if ((mode & 16) != 0)
        expected.uid = std::to_string(detail);
    expected.octets = detail;
    expected.headerDigest =
        pop3::ReadTopReply(std::string(kRowHeaders) + "\r\n.\r\n", 1024).headerDigest;
    return expected;
}

// Where a POP3 reader could take "+OK n value" from: a word that begins "+OK", blanks, the
// number (perhaps signed or zero-padded), blanks, then value, ending there.
bool HoldsStatus(std::string_view peer, int message, const std::string& value, bool asNumber) {
    const auto blanks = [&](std::size_t& at) {
        const std::size_t from = at;
        while (at < peer.size() && (peer[at] == ' ' || peer[at] == '\t'))
            ++at;
        return at > from;
    };
    const auto number = [&](std::size_t& at, long long& n) {
        const std::size_t from = at;
        n = 0;
        while (at < peer.size() && peer[at] >= '0' && peer[at] <= '9' && n < 1000000)
            n = n * 10 + (peer[at++] - '0');
        return at > from;
    };
    for (std::size_t at = peer.find("+OK"); at != std::string_view::npos;
         at = peer.find("+OK", at + 1)) {
        std::size_t i = at + 3;
        long long n = 0;
        while (i < peer.size() && peer[i] != ' ' && peer[i] != '\t' && peer[i] != '\n')
            ++i; // the rest of the status word
        if (!blanks(i))
            continue;
        if (i < peer.size() && peer[i] == '+')
            ++i;
        if (!number(i, n) || n != message || !blanks(i))
            continue;
        if (asNumber) {
            long long octets = 0;
            if (number(i, octets) && std::to_string(octets) == value)
                return true;
        } else if (peer.compare(i, value.size(), value) == 0) {
            const std::size_t end = i + value.size();
            if (end == peer.size() || peer[end] <= ' ' || peer[end] >= 0x7f)
                return true;
        }
    }
    return false;
}

// A DELE goes out only for the message the row showed: the server must have named the row's
// unique id for that number, or its size and header block. Read off the server's bytes
// themselves, loosely, so that whatever the session took for a confirmation is among them.
void CheckTheDeletions(std::string_view peer, const std::string& sent, std::uint8_t mode,
                       std::uint8_t detail) {
    std::string unstuffed(peer);
    for (std::size_t at = 0; (at = unstuffed.find("\n.", at)) != std::string::npos; ++at)
        unstuffed.erase(at + 1, 1);
    const std::string block = std::string("\n") + kRowHeaders;
    const bool headersShown = unstuffed.find(block + "\r\n") != std::string::npos ||
                              unstuffed.find(block + "\n") != std::string::npos;
    const MessageIdentity expected = Expected(mode, detail);
    for (std::size_t at = sent.find("DELE "); at != std::string::npos;
         at = sent.find("DELE ", at + 1)) {
        fuzz::Require((mode & 4) != 0, "a check never deletes", sent);
        const int n = std::atoi(sent.c_str() + at + 5);
        const std::string number = std::to_string(n);
        const bool byUid = !expected.uid.empty() &&
                           sent.find("UIDL " + number + "\r\n") != std::string::npos &&
                           HoldsStatus(peer, n, expected.uid, false);
        const bool bySizeAndHeaders =
            sent.find("LIST " + number + "\r\nTOP " + number + " 0\r\n") != std::string::npos &&
            HoldsStatus(peer, n, std::to_string(expected.octets), true) && headersShown;
        fuzz::Require(byUid || bySizeAndHeaders, "a DELE only for a confirmed message", sent);
    }
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
    const std::string_view peer(reinterpret_cast<const char*>(data) + 2, size - 2);
    const bool silent = (detail & 0x80) != 0;
    replay::Serve(peer, kPieces[mode >> 5], silent);
    const auto start = replay::Now();

    Account account;
    account.SetClock(replay::Now);
    bool failed = false;
    account.Set("ann", kPassword, "127.0.0.1", 8, (mode & 8) != 0 ? 0 : 1);
    account.m_Security = security;
    const bool encrypted = (detail & 0x80) != 0;
    account.m_LoginMethod = encrypted ? pop3::LoginMethod::Encrypted : pop3::LoginMethod::Normal;
    if ((mode & 4) != 0) {
        failed = !account.DeleteMessage(detail % 16 + 1, Expected(mode, detail)) &&
                 !account.DeleteRefusedAsStale();
    } else {
        const int previous = detail % 8;
        std::unique_ptr<Messages> list;
        if (previous > 0) {
            list = std::make_unique<Messages>(previous);
            for (int i = 0; i < previous; ++i) {
                list->Add("a", "s", 1, "");
                list->SetIdentity(i, {std::to_string(i + 1), 1000, 0});
            }
            account.m_MessageCount = previous;
        }
        Messages* raw = list.release();
        account.CheckMail(raw);
        list.reset(raw);
        failed = account.GetStatus() == Account::CheckFailed;
        CheckTheOutput(account, list.get());
    }

    const std::string& sent = replay::Sent();
    CheckTheDeletions(peer, sent, mode, detail);
    if (replay::WentSilent()) {
        // Every wait has its limit, and the session as a whole its ceiling.
        fuzz::Require(replay::Now() - start <=
                          std::chrono::milliseconds(pop3::ReplyReader::kSessionCeilingMs),
                      "a silent server is left within the session's ceiling", sent);
        // A handshake has failures of its own; in plain text silence is the deadline's, unless
        // it came after a refused login: the rest of a pipelined login's flight is still read,
        // and the refusal stands.
        const std::string error = account.GetErrorText();
        fuzz::Require(security != pop3::Security::None || !failed ||
                          error == "Server did not answer in time" ||
                          ((error == "Bad User Name" || error == "Bad Password Name") &&
                           StartsLine(sent, "PASS ")),
                      "silence ends in the deadline's failure", error);
    }
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
