// The program's version, in one place: the version resource, the manifest, the about box,
// the update check and the names of the packages all take it from here. Plain macros, so
// that the resource compiler, CMake and the packaging script can read them too.
#pragma once

#define TARNWICK_VERSION_MAJOR 1
#define TARNWICK_VERSION_MINOR 0
#define TARNWICK_VERSION_PATCH 6

// The number the update file and the profile compare: 106 for 1.0.6.
#define TARNWICK_VERSION_NUMBER                                                                    \
    (TARNWICK_VERSION_MAJOR * 100 + TARNWICK_VERSION_MINOR * 10 + TARNWICK_VERSION_PATCH)

#define TARNWICK_STRINGIZE_(x) #x
#define TARNWICK_STRINGIZE(x) TARNWICK_STRINGIZE_(x)
#define TARNWICK_VERSION_TEXT                                                                      \
    TARNWICK_STRINGIZE(TARNWICK_VERSION_MAJOR)                                                     \
    "." TARNWICK_STRINGIZE(TARNWICK_VERSION_MINOR) "." TARNWICK_STRINGIZE(TARNWICK_VERSION_PATCH)
