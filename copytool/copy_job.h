// The copy itself: the walk over the source, the files it selects, and the
// run's status.
#pragma once

#include <cstdio>

#include "copy_options.h"

namespace copytool {

constexpr int kStatusCopied = 0;
constexpr int kStatusNothingFound = 1;
constexpr int kStatusInterrupted = 2;
constexpr int kStatusCannotStart = 4;  // command line, source or target at fault
constexpr int kStatusWriteFailed = 5;    // a file, or the listing, could not be written

// Runs the copy. Lists the files on `out` as they are copied and asks
// there before overwriting (unless /y), reading answers from `answers`;
// problems go to `errors`, one line each.
int runCopyJob(const CopyOptions& options, std::FILE* out, std::FILE* errors, std::FILE* answers);

}  // namespace copytool
