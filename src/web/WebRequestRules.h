// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The checks the status server makes on what a client sends, kept apart from the server so
// that they can be tested and fuzzed on their own. Nothing here touches a socket or a file.
namespace WebRequestRules {

// 127.0.0.0/8, ::1 and "localhost": a binding only this computer can reach.
bool isLoopbackAddress(std::string_view address);

// Why a server may not bind to the address with the token given, or nothing when it may: any
// address but loopback needs a token, since the page would otherwise be open to the network.
std::optional<std::string> bindingRefusal(std::string_view address, std::string_view token);

// Compares in a time that depends on the lengths only, never on where the texts differ.
bool tokensEqual(std::string_view given, std::string_view expected);

// The token of an "Authorization: Bearer TOKEN" header, or nothing for any other header.
std::optional<std::string> bearerToken(std::string_view authorization);

// The "since" parameter of /api/samples: a sample number of at most nine digits. An empty
// text is the start of the run (0); anything else is refused (nothing).
std::optional<int> sampleNumber(std::string_view text);

// "[ADDRESS:]PORT" as given to --serve; the address defaults to loopback. An IPv6 address is
// written in brackets ("[::1]:8765"). Nothing for a port outside 1..65535 or a malformed text.
struct ServeAddress {
    std::string address = "127.0.0.1";
    int port = 0;
};
std::optional<ServeAddress> parseServeAddress(std::string_view text);

// The URL a browser opens for the address and port.
std::string pageUrl(const std::string& address, int port);

} // namespace WebRequestRules
