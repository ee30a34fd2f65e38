// SPDX-License-Identifier: GPL-3.0-or-later
// What a client's request brings to the status server's own checks: the "since" and "token"
// query values, the Authorization header, and the --serve text. The input is split at the
// first two newlines into those parts.
#include "web/WebRequestRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto first = input.find('\n');
    const std::string_view since = input.substr(0, first);
    const std::string_view rest =
        first == std::string_view::npos ? std::string_view() : input.substr(first + 1);
    const auto second = rest.find('\n');
    const std::string_view header = rest.substr(0, second);
    const std::string_view serve =
        second == std::string_view::npos ? std::string_view() : rest.substr(second + 1);

    if (const auto number = WebRequestRules::sampleNumber(since); number && *number < 0)
        std::abort();
    if (const auto token = WebRequestRules::bearerToken(header)) {
        if (token->empty() || !WebRequestRules::tokensEqual(*token, *token))
            std::abort();
        if (WebRequestRules::tokensEqual(*token, *token + "x"))
            std::abort();
    }
    if (const auto address = WebRequestRules::parseServeAddress(serve)) {
        if (address->port < 1 || address->port > 65535 || address->address.empty())
            std::abort();
        WebRequestRules::isLoopbackAddress(address->address);
        WebRequestRules::pageUrl(address->address, address->port);
    }
    WebRequestRules::bindingRefusal(serve, since);
    return 0;
}
