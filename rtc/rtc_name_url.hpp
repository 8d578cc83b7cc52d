#pragma once
// rtcname://HOST[:PORT]/PATH/COMP[.PORT]: a component on a naming service, and optionally one
// of its ports, as the manager's settings (preconnect, preactivation) name them.

#include <optional>
#include <string>
#include <string_view>

namespace rtc {

struct RtcNameUrl {
    static constexpr std::string_view kScheme = "rtcname://";

    std::string namingService;  // HOST:PORT, the port 2809 when none was given
    std::string path;           // the component's name there, "PATH/COMP.rtc"
    std::string port;           // what followed the component's name after a dot; may be empty

    static bool is(std::string_view text) { return text.starts_with(kScheme); }
    // Nothing when the text is no such URL or names no path after the host.
    static std::optional<RtcNameUrl> parse(std::string_view url);
};

}  // namespace rtc
