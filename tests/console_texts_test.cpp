#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "console_texts.h"

namespace tavrix {
namespace {

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> result;
    std::istringstream stream{std::string(text)};
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

TEST(ConsoleTexts, BannerIsOneLineAndAnEmptyLine) {
    std::vector<std::string> banner = lines(bannerText());
    ASSERT_EQ(banner.size(), 2u);
    EXPECT_EQ(banner[0].rfind("TAVRIX Ver.1.0.3  ", 0), 0u);
    EXPECT_GT(banner[0].size(), std::string("TAVRIX Ver.1.0.3  ").size());
    EXPECT_EQ(banner[1], "");
}

TEST(ConsoleTexts, UsageIsFifteenLinesEndingInTwoEmptyOnes) {
    std::vector<std::string> usage = lines(usageText());
    ASSERT_EQ(usage.size(), 15u);
    EXPECT_EQ(usage[0], "tavrix [/{y|m|d|h}] [/o] [/n] [/v] [/-{s|c|y}] source dest\\");
    EXPECT_EQ(usage[1], "  /y  copy to dest\\YY");
    EXPECT_EQ(usage[11], "  /v  only display command line. xcopy is not executed.");
    EXPECT_EQ(usage[12], "  /-(option) cancel a xcopy option of default(/s /c /y)");
    EXPECT_EQ(usage[13], "");
    EXPECT_EQ(usage[14], "");
    EXPECT_EQ(usageText().back(), '\n');
}

}  // namespace
}  // namespace tavrix
