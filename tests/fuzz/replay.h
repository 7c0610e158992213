#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The socket layer of the fuzzing build: every connection to any host reads the bytes given
// here as its peer's, in pieces of a chosen size, and then sees the connection end.
// Everything the program sends is kept. Nothing waits and nothing leaves the process.
namespace replay {

// The peer's bytes for the connections that follow; the view must outlive them.
void Serve(std::string_view peerBytes, std::size_t pieceSize);
// What the program sent since the last Serve.
const std::string& Sent();

} // namespace replay
