#include "settings/password_protection.h"

namespace password_protection {

bool Protect(const std::string&, std::string*) {
    return false;
}

bool Unprotect(const std::string&, std::string*) {
    return false;
}

} // namespace password_protection
