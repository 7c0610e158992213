#include "settings/password_protection.h"

#include <windows.h>

#include <wincrypt.h>

#include <memory>

namespace password_protection {

namespace {

// Mixed into the encryption, so that the blob is Tarnwick's: another program of the user
// that decrypts what it finds without this value gets nothing.
const char kEntropy[] = "Tarnwick POP3 password";

struct LocalFreeDeleter {
    void operator()(BYTE* data) const { ::LocalFree(data); }
};
using LocalBytes = std::unique_ptr<BYTE, LocalFreeDeleter>;

DATA_BLOB BlobOf(const std::string& bytes) {
    DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool Protect(const std::string& password, std::string* stored) {
    DATA_BLOB in = BlobOf(password);
    const std::string entropyText = kEntropy;
    DATA_BLOB entropy = BlobOf(entropyText);
    DATA_BLOB out = {};
    if (!::CryptProtectData(&in, L"Tarnwick", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out))
        return false;
    LocalBytes owned(out.pbData);
    static const char digits[] = "0123456789ABCDEF";
    stored->clear();
    stored->reserve(out.cbData * 2);
    for (DWORD i = 0; i < out.cbData; ++i) {
        stored->push_back(digits[out.pbData[i] >> 4]);
        stored->push_back(digits[out.pbData[i] & 0x0F]);
    }
    return true;
}

bool Unprotect(const std::string& stored, std::string* password) {
    if (stored.empty() || stored.size() % 2 != 0)
        return false;
    std::string bytes(stored.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexValue(stored[2 * i]);
        const int low = HexValue(stored[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<char>(high << 4 | low);
    }
    DATA_BLOB in = BlobOf(bytes);
    const std::string entropyText = kEntropy;
    DATA_BLOB entropy = BlobOf(entropyText);
    DATA_BLOB out = {};
    if (!::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                              &out))
        return false;
    LocalBytes owned(out.pbData);
    password->assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
    // The plain copy in the system's buffer must not linger in freed memory.
    ::SecureZeroMemory(out.pbData, out.cbData);
    return true;
}

} // namespace password_protection
