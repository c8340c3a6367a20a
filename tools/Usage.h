// The texts of --help and --version.
#ifndef SELVANE_TOOLS_USAGE_H
#define SELVANE_TOOLS_USAGE_H

#include <string>

namespace selvane::host {

std::string UsageText();
std::string VersionText();  // "selvane <version>\n"

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_USAGE_H
