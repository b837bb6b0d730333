#pragma once

#include "tests/support/TestPeer.hpp"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace parlana::test {

// Misbehaving peers, shared by the server's tests and its soak. Each drives a
// TestPeer the way a broken or hostile client would; what the server must do
// about it is for the caller to check.

/// The bytes of a real client's join (the UID, then the empty packet)
/// followed by one chat line.
std::string joinThenLine(const std::string& uid, const std::string& line);

/// Sends `bytes` one byte at a time, `gap` apart; false when a send failed.
bool trickle(TestPeer& peer, const std::string& bytes, Millis gap);

/// Announces a frame of 2 GiB and sends `tail` bytes of it.
bool sendHugeHeader(TestPeer& peer, std::size_t tail);

/// Sends the first `cut` bytes of the frame of `line`, waits `pause`, then
/// resets the connection (no orderly close).
void resetMidFrame(TestPeer& peer, const std::string& line, std::size_t cut, Millis pause);

/// Sends `lastLine`, then closes its sending half while still reading.
bool halfClose(TestPeer& peer, const std::string& lastLine);

/// A connection to `port` that never sends its join packet.
std::unique_ptr<TestPeer> silentNewcomer(unsigned short port);

/// Every kind of join the server must refuse as not valid, each named, as the
/// bytes a client would send: the join packet, then the empty packet.
std::vector<std::pair<std::string, std::string>> invalidJoins();

/// Every kind of line the server must relay to nobody when `uid` sends it:
/// control tokens, lines in `other`'s name or in no name, and lines with
/// more or other than the client lets one type.
std::vector<std::string> refusedLines(const std::string& uid, const std::string& other);

} // namespace parlana::test
