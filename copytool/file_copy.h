// Copies one file so that no half-written file ever stands under the
// target name: the data goes to an unnamed (or, where the file system has
// none, a temporary) file in the target folder, which then takes the name
// in one step. The target keeps the source's modification time and
// permission bits.
#pragma once

#include <sys/stat.h>

#include <string>

namespace copytool {

struct FileCopyResult {
    bool copied = false;
    bool interrupted = false;  // stopped by a signal; nothing left behind
    std::string error;         // what failed, when not copied
};

// `sourceFolder` and `targetFolder` are open folder descriptors;
// `sourceStatus` is what fstatat said of the source; `creationMask` the
// process's umask.
FileCopyResult copyFileAtomically(int sourceFolder, const char* sourceName,
                                  const struct stat& sourceStatus, int targetFolder,
                                  const char* targetName, mode_t creationMask);

}  // namespace copytool
