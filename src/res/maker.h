// Where the maker is found: the update host, the home page and the mail address. Plain
// macros, so that the resource script can show the same texts as the code uses.
#pragma once

// A name under a domain kept for documentation, until the maker has a host of its own.
#define TARNWICK_UPDATE_SERVER "tarnwick.example.org"
#define TARNWICK_UPDATE_FILE "http://tarnwick.example.org/tarnwick/autoupdate.dat"
#define TARNWICK_HOME_PAGE "http://tarnwick.example.org/"
#define TARNWICK_MAIL_ADDRESS "mailto:tarnwick@example.org"
