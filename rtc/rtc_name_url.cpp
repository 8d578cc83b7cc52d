#include "rtc/rtc_name_url.hpp"

#include "rtc/naming_manager.hpp"

namespace rtc {

std::optional<RtcNameUrl> RtcNameUrl::parse(std::string_view url) {
    if (!is(url)) return std::nullopt;
    const std::string_view rest = url.substr(kScheme.size());
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view path = rest.substr(slash + 1);
    const auto lastSlash = path.rfind('/');
    const std::string_view dir =
        lastSlash == std::string_view::npos ? std::string_view{} : path.substr(0, lastSlash + 1);
    const std::string_view last =
        lastSlash == std::string_view::npos ? path : path.substr(lastSlash + 1);
    // The component's name ends at the first dot: the port's name may have dots of its own.
    const auto dot = last.find('.');
    RtcNameUrl out;
    out.namingService = withNamingPort(std::string(rest.substr(0, slash)));
    out.path = std::string(dir) + std::string(last.substr(0, dot)) + ".rtc";
    if (dot != std::string_view::npos) out.port = std::string(last.substr(dot + 1));
    return out;
}

}  // namespace rtc
