// The program's version, in one place: the version resource, the manifest, the about box,
// the update check and the names of the packages all take it from here. Plain macros, so
// that the resource compiler, CMake and the packaging script can read them too.
#pragma once

#define TARNWICK_VERSION_MAJOR 1
#define TARNWICK_VERSION_MINOR 0
#define TARNWICK_VERSION_PATCH 6

// The number the update file and the profile compare: 106 for 1.0.6. One digit each for the
// minor version and the patch, or 1.0.10 and 1.1.0 would be the same number.
#if TARNWICK_VERSION_MINOR > 9 || TARNWICK_VERSION_PATCH > 9
#error "the version number has one digit for the minor version and one for the patch"
#endif
#define TARNWICK_VERSION_NUMBER                                                                    \
    (TARNWICK_VERSION_MAJOR * 100 + TARNWICK_VERSION_MINOR * 10 + TARNWICK_VERSION_PATCH)

#define TARNWICK_STRINGIZE_(x) #x
#define TARNWICK_STRINGIZE(x) TARNWICK_STRINGIZE_(x)
#define TARNWICK_VERSION_TEXT                                                                      \
    TARNWICK_STRINGIZE(TARNWICK_VERSION_MAJOR)                                                     \
    "." TARNWICK_STRINGIZE(TARNWICK_VERSION_MINOR) "." TARNWICK_STRINGIZE(TARNWICK_VERSION_PATCH)
