#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The socket layer of the fuzzing build: every connection to any host reads the bytes given
// here as its peer's, in pieces of a chosen size, and then sees the connection end, or
// silence. Everything the program sends is kept. Nothing waits and nothing leaves the
// process: a wait in silence only moves the replay's clock on by its time limit.
namespace replay {

// The peer's bytes for the connections that follow; the view must outlive them. silentAtEnd:
// after them the peer neither sends nor closes.
void Serve(std::string_view peerBytes, std::size_t pieceSize, bool silentAtEnd = false);
// The clock the silences move; give it to the code under test.
std::chrono::steady_clock::time_point Now();
// A receive found the peer silent since the last Serve.
bool WentSilent();
// What the program sent since the last Serve.
const std::string& Sent();

} // namespace replay
