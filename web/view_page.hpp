#pragma once

#include <string_view>

namespace vostrel {

// The live view's page, built into the executable from web/view_page.html: one document with
// its script and style inline, so nothing is installed and the page loads nothing else.
std::string_view viewPage();

}  // namespace vostrel
