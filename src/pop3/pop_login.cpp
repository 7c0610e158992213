#include "pop3/pop.h"

#include "net/tls_stream.h"
#include "pop3/pop_text.h"

// Connecting, securing the channel and logging in.

namespace {

// A command line with its CR LF must fit what servers are required to accept.
constexpr std::size_t kMaxCommandLine = 511;
constexpr char kNoStls[] = "The server does not offer a secure connection (STLS)";
constexpr char kNotUnderstood[] = "The server's reply was not understood";
constexpr char kNoEncryptedLogin[] = "This server does not offer an encrypted password login.";
// RFC 5034: an AUTH command with its initial response may be at most 255 octets.
constexpr std::size_t kMaxAuthLine = 255;

bool HoldsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool CPop::Connect(const std::string& host, unsigned int port, const std::string& user,
                   const std::string& password) {
    if (m_Broken) {
        return false;
    }
    // Checked before the connection exists, so a bad name can never reach the server
    // and end a command early.
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        return Fail("Bad character in user name or password");
    }
    if (user.size() + 7 > kMaxCommandLine || password.size() + 7 > kMaxCommandLine) {
        return Fail("Command too long");
    }
    m_SecureError.clear();
    m_Reader.Start(m_TimeoutMs, m_SessionLimitMs);
    auto stream = port > 65535 ? nullptr : OpenStream(host, static_cast<unsigned short>(port));
    if (!stream) {
        return Break(m_SecureError.empty() ? "Server cannot be connected" : m_SecureError.c_str());
    }
    m_Reader.SetStream(std::move(stream));
    m_Reader.BeginExchange();
    std::string greeting;
    if (!ReadStatus(ReplyKind::Greeting, greeting)) {
        return false;
    }
    m_ApopTimestamp = pop3::ApopTimestamp(pop3::CleanView(greeting));
    // The login method depends on the capabilities; STLS asks for them itself, once secure.
    if (m_Security == pop3::Security::StartTls) {
        if (!StartTls(host)) {
            return false;
        }
    } else if (!Capa() && m_Broken) {
        return false;
    }
    return Login(user, password);
}

bool CPop::Login(const std::string& user, const std::string& password) {
    if (m_LoginMethod == pop3::LoginMethod::Encrypted) {
        if (m_CapaListed && m_Offered.saslCramMd5) {
            m_LoginUsed = "AUTH CRAM-MD5";
            return Authenticate(
                "CRAM-MD5", "", [&](std::string_view challenge, std::string& response) {
                    return pop3::CramMd5Response(challenge, user, password, response);
                });
        }
        if (!m_ApopTimestamp.empty()) {
            m_LoginUsed = "APOP";
            return Command("APOP " + user + " " + pop3::ApopDigest(m_ApopTimestamp, password) +
                               "\r\n",
                           ReplyKind::Pass);
        }
        // Nothing of the login has gone out: the password stays where it is.
        m_LoginUnavailable = true;
        return Fail(kNoEncryptedLogin);
    }
    if (m_CapaListed && m_Offered.saslPlain && !m_Offered.user) {
        m_LoginUsed = "AUTH PLAIN";
        const std::string response = pop3::SaslPlainResponse(user, password);
        return Authenticate("PLAIN", response, [&](std::string_view, std::string& answer) {
            answer = response;
            return true;
        });
    }
    m_LoginUsed = "USER";
    // Only where USER is listed: a server that would refuse it (no plain text on this
    // connection) must not get the password behind it.
    if (m_Pipelining && m_Offered.user) {
        return PipelinedLogin(user, password);
    }
    return Command("USER " + user + "\r\n", ReplyKind::User) &&
           Command("PASS " + password + "\r\n", ReplyKind::Pass);
}

bool CPop::PipelinedLogin(const std::string& user, const std::string& password) {
    std::string out = "USER " + user + "\r\n";
    m_Ahead.push_back({"PASS " + password + "\r\n", Ahead::None});
    if (m_Flight.capa) {
        m_Ahead.push_back({"CAPA\r\n", Ahead::Capa});
    }
    if (m_Flight.stat) {
        m_Ahead.push_back({"STAT\r\n", Ahead::None});
    }
    if (m_Flight.uidl && m_UidlSupport == Support::Yes) {
        m_Ahead.push_back({"UIDL\r\n", Ahead::Listing});
    }
    for (const Ahead& ahead : m_Ahead) {
        out += ahead.line;
    }
    if (m_Reader.HasPending()) {
        return BreakOutOfStep(kNotUnderstood);
    }
    if (!SendBytes(out)) {
        return false;
    }
    std::string status;
    if (ReadStatus(ReplyKind::User, status)) {
        m_Ahead.pop_front(); // PASS: its reply is the next
        m_Reader.BeginExchange();
        if (ReadStatus(ReplyKind::Pass, status)) {
            return true;
        }
    }
    if (m_Broken) {
        return false;
    }
    // Refused: the rest of the flight is answered all the same, and read, so that nothing
    // of it is left for a later command. Whatever that reading meets, the refusal stays the
    // failure; a connection lost meanwhile only closes the session.
    const std::string refused = m_Error;
    if (!DropAhead()) {
        m_Broken = false;
        m_OutOfStep = false;
    }
    m_Error = refused;
    m_Cause = Cause::Other;
    return false;
}

bool CPop::Authenticate(const std::string& mechanism, const std::string& initial,
                        const std::function<bool(std::string_view, std::string&)>& respond) {
    const std::string withInitial = "AUTH " + mechanism + " " + initial + "\r\n";
    if (!initial.empty() && withInitial.size() <= kMaxAuthLine) {
        return Command(withInitial, ReplyKind::Pass);
    }
    if (!SendCommand("AUTH " + mechanism + "\r\n")) {
        return false;
    }
    // "+ challenge" (base64, perhaps empty), or the refusal.
    std::string line;
    if (!m_Reader.ReadStatusLine(line)) {
        return ReaderFailed();
    }
    if (StartsWith(line, "-ERR")) {
        return Refused(ReplyKind::Pass, line);
    }
    if (!StartsWith(line, "+ ") && !StartsWith(line, "+\r")) {
        return BreakOutOfStep(kNotUnderstood);
    }
    const std::string_view challenge = pop3::CleanView(std::string_view(line).substr(1));
    std::string response;
    if (!respond(challenge, response)) {
        return BreakOutOfStep(kNotUnderstood);
    }
    return Command(response + "\r\n", ReplyKind::Pass);
}

std::unique_ptr<net::Stream> CPop::OpenStream(const std::string& host, unsigned short port) {
    auto socket = std::make_unique<net::TcpSocket>();
    socket->SetCancelSignal(m_Cancel);
    if (!socket->Connect(host, port, m_Reader.SendLimitMs())) {
        return nullptr;
    }
    if (m_Security == pop3::Security::Tls) {
        return Secure(std::move(*socket), host);
    }
    return socket;
}

void CPop::SetSecurity(pop3::Security security, const std::string& trustedCertificate) {
    m_Security = security;
    m_TrustedCertificate = trustedCertificate;
}

std::unique_ptr<net::Stream> CPop::Secure(net::TcpSocket socket, const std::string& host) {
    auto tls = std::make_unique<net::TlsStream>();
    const bool ok =
        tls->Handshake(std::move(socket), host, m_TrustedCertificate, m_Reader.SendLimitMs());
    m_ServerFingerprint = tls->Fingerprint();
    m_CertificateRejected = tls->CertificateRejected();
    if (!ok) {
        m_SecureError = tls->ErrorText();
        return nullptr;
    }
    m_Secure = true;
    return tls;
}

bool CPop::StartTls(const std::string& host) {
    // RFC 2595: STLS only when offered, and the capabilities asked again once secure, since
    // whatever the server said in plain text may have been forged on the way.
    Capa();
    if (m_Broken) {
        return false;
    }
    if (!m_Stls) {
        return Break(kNoStls, Cause::NoSecureChannel);
    }
    std::string status;
    bool ok = false;
    if (!SendCommand("STLS\r\n") || !ReadStatusLine(status, ok)) {
        return false;
    }
    // Bytes after the "+OK" came in plain text: taking them into the secure session would
    // let anyone on the way write its first reply.
    if (!ok || m_Reader.HasPending()) {
        return Break(kNoStls, Cause::NoSecureChannel);
    }
    std::unique_ptr<net::Stream> plain = m_Reader.TakeStream();
    auto& socket = static_cast<net::TcpSocket&>(*plain); // OpenStream made it
    std::unique_ptr<net::Stream> secure = Secure(std::move(socket), host);
    if (!secure) {
        return Break(m_SecureError.c_str());
    }
    m_Reader.SetStream(std::move(secure));
    Capa();
    return !m_Broken;
}
