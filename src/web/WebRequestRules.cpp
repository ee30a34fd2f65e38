// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebRequestRules.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstddef>

namespace WebRequestRules {

namespace {

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

bool isLoopbackAddress(std::string_view address) {
    if (equalIgnoringCase(address, "localhost"))
        return true;
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24U) == 127U;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) != 0;
    return false;
}

std::optional<std::string> bindingRefusal(std::string_view address, std::string_view token) {
    if (address.empty())
        return std::string("No address to serve on was given.");
    if (!isLoopbackAddress(address) && token.empty())
        return "Serving on " + std::string(address) +
               " opens the status page to the network: it needs a token, which every request "
               "must then carry. Set one, or serve on 127.0.0.1.";
    return std::nullopt;
}

bool tokensEqual(std::string_view given, std::string_view expected) {
    // Every byte of the longer text is looked at whatever the contents.
    const std::size_t length = given.size() > expected.size() ? given.size() : expected.size();
    unsigned difference = given.size() == expected.size() ? 0U : 1U;
    for (std::size_t i = 0; i < length; ++i) {
        const auto a = static_cast<unsigned char>(i < given.size() ? given[i] : 0);
        const auto b = static_cast<unsigned char>(i < expected.size() ? expected[i] : 0);
        difference |= static_cast<unsigned>(a ^ b);
    }
    return difference == 0U;
}

std::optional<std::string> bearerToken(std::string_view authorization) {
    constexpr std::string_view scheme = "Bearer ";
    if (authorization.size() <= scheme.size() ||
        !equalIgnoringCase(authorization.substr(0, scheme.size()), scheme))
        return std::nullopt;
    std::string_view token = authorization.substr(scheme.size());
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    if (token.empty())
        return std::nullopt;
    return std::string(token);
}

std::optional<int> sampleNumber(std::string_view text) {
    if (text.empty())
        return 0;
    if (text.size() > 9 || !allDigits(text))
        return std::nullopt;
    int number = 0;
    for (const char c : text)
        number = number * 10 + (c - '0');
    return number;
}

std::optional<ServeAddress> parseServeAddress(std::string_view text) {
    ServeAddress result;
    std::string_view port = text;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return std::nullopt;
        result.address = std::string(text.substr(1, close - 1));
        port = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        result.address = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
        if (result.address.find(':') != std::string::npos)
            return std::nullopt; // an IPv6 address without brackets
    }
    if (result.address.empty() || port.size() > 5 || !allDigits(port))
        return std::nullopt;
    int number = 0;
    for (const char c : port)
        number = number * 10 + (c - '0');
    if (number < 1 || number > 65535)
        return std::nullopt;
    result.port = number;
    return result;
}

std::string pageUrl(const std::string& address, int port) {
    const bool v6 = address.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port) + "/";
}

} // namespace WebRequestRules
