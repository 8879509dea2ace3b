#include "console_texts.h"

#include "platform.h"

namespace tavrix {

namespace {

constexpr std::string_view kBanner =
    "TAVRIX Ver.1.0.3  Copyright (C) 2026 the tavrix developers\n"
    "\n";

constexpr std::string_view kUsage =
    "tavrix [/{y|m|d|h}] [/o] [/n] [/v] [/-{s|c|y}] source dest\\\n"
    "  /y  copy to dest\\YY\n"
    "  /Y  copy to dest\\YYYY\n"
    "  /m  copy to dest\\YYMM\n"
    "  /M  copy to dest\\YYYYMM\n"
    "  /d  copy to dest\\YYMMDD\n"
    "  /D  copy to dest\\YYYYMMDD\n"
    "  /h  copy to dest\\YYMMDDHH\n"
    "  /H  copy to dest\\YYYYMMDDHH\n"
    "  /o  old command format\n"
    "  /n  for night shift\n"
    "  /v  only display command line. xcopy is not executed.\n"
    "  /-(option) cancel a xcopy option of default(/s /c /y)\n"
    "\n"
    "\n";

}  // namespace

std::string_view bannerText() { return kBanner; }

std::string_view usageText() { return kUsage; }

void printBanner() { platform::writeStandardOutput(kBanner); }

void printUsage() { platform::writeStandardOutput(kUsage); }

}  // namespace tavrix
