// The fixed texts tavrix writes on its own account: the banner that opens
// every run and the usage text.
#pragma once

#include <string_view>

namespace tavrix {

// The banner line and the empty line after it.
std::string_view bannerText();

// The fifteen usage lines, the last two empty.
std::string_view usageText();

// Write the texts to standard output.
void printBanner();
void printUsage();

}  // namespace tavrix
