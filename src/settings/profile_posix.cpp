#include "settings/profile.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string Profile::DefaultPath() {
    // The XDG base directory rules: a relative XDG_CONFIG_HOME is to be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/tarnwick/tarnwick.ini";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0')
        return "tarnwick.ini";
    return std::string(home) + "/.config/tarnwick/tarnwick.ini";
}
