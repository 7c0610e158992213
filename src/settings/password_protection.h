#pragma once

#include <string>

// The password as the profile keeps it on Windows: encrypted for the current user with the
// system's data protection (CryptProtectData), as hexadecimal text. Only a program running
// as the same user on the same machine can read it back; a copy of the profile alone is
// useless. Other systems have no such service: there Protect fails and the caller keeps
// the older scrambled form in a file only its owner may read.
namespace password_protection {

// False when the platform cannot protect data (or protection failed).
bool Protect(const std::string& password, std::string* stored);
// False when `stored` is not a protected password of this user.
bool Unprotect(const std::string& stored, std::string* password);

} // namespace password_protection
