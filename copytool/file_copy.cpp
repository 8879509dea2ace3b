#include "file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "interruption.h"

namespace copytool {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

std::string failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Where copy_file_range cannot serve (another file system, an old kernel,
// a file system without it), plain reads and writes go on from the same
// file positions.
bool kernelCannotCopy(int error) {
    return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF || error == EPERM || error == ETXTBSY;
}

bool writeAll(int to, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = write(to, data, size);
        if (written < 0) {
            if (errno == EINTR && !interrupted()) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies from the current positions to the end of `from`. Checks for an
// interruption between chunks, so a large file stops within a moment.
bool copyData(int from, int to, FileCopyResult& result) {
    constexpr std::size_t kKernelChunk = 8 << 20;
    constexpr std::size_t kBufferSize = 256 << 10;
    bool useKernel = true;
    static thread_local char buffer[kBufferSize];
    while (true) {
        if (interrupted()) {
            result.interrupted = true;
            return false;
        }
        if (useKernel) {
            ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kKernelChunk, 0);
            if (copied > 0) continue;
            if (copied == 0) return true;
            if (errno == EINTR) continue;
            if (!kernelCannotCopy(errno)) {
                result.error = failure("cannot copy the data");
                return false;
            }
            useKernel = false;
            continue;
        }
        ssize_t count = read(from, buffer, sizeof buffer);
        if (count == 0) return true;
        if (count < 0) {
            if (errno == EINTR) continue;
            result.error = failure("cannot read");
            return false;
        }
        if (!writeAll(to, buffer, static_cast<std::size_t>(count))) {
            if (interrupted()) {
                result.interrupted = true;
            } else {
                result.error = failure("cannot write");
            }
            return false;
        }
    }
}

// A name for a temporary file of this process, unique within the folder.
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".xcopy-partial-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool procFileDescriptorsAvailable() {
    static const bool available = access("/proc/self/fd", X_OK) == 0;
    return available;
}

// The file being written. An unnamed file vanishes by itself whatever ends
// the process; a named one is removed unless it was published.
class PartialFile {
public:
    explicit PartialFile(int folder) : folder_(folder) {}
    ~PartialFile() {
        if (descriptor_ >= 0) close(descriptor_);
        if (!name_.empty()) unlinkat(folder_, name_.c_str(), 0);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool open(mode_t mode) {
        if (procFileDescriptorsAvailable()) {
            descriptor_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (descriptor_ >= 0) return true;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = temporaryName();
            descriptor_ = openat(folder_, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            if (descriptor_ >= 0) {
                name_ = name;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    int descriptor() const { return descriptor_; }

    // Gives the finished file its name, replacing any file of that name.
    bool publish(const char* targetName) {
        if (name_.empty()) {
            std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
            if (linkat(AT_FDCWD, self.c_str(), folder_, targetName, AT_SYMLINK_FOLLOW) == 0) return true;
            if (errno != EEXIST) return false;
            // A file of that name exists: link under a temporary name, then
            // rename over it, which replaces it in one step.
            std::string name = temporaryName();
            if (linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                return false;
            }
            name_ = name;
        }
        if (renameat(folder_, name_.c_str(), folder_, targetName) != 0) return false;
        name_.clear();
        return true;
    }

private:
    int folder_;
    int descriptor_ = -1;
    std::string name_;  // the temporary name while the file has one
};

}  // namespace

FileCopyResult copyFileAtomically(int sourceFolder, const char* sourceName,
                                  const struct stat& sourceStatus, int targetFolder,
                                  const char* targetName, mode_t creationMask) {
    FileCopyResult result;
    FileDescriptor source(openat(sourceFolder, sourceName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (source.get() < 0) {
        result.error = failure("cannot open");
        return result;
    }
    const mode_t permissions = sourceStatus.st_mode & 0777;
    PartialFile partial(targetFolder);
    if (!partial.open(permissions)) {
        result.error = failure("cannot create a file in the target folder");
        return result;
    }
    if (!copyData(source.get(), partial.descriptor(), result)) return result;

    // The file was made with the source's permissions less the umask; only
    // where the umask took some away do they need setting again.
    const struct timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    bool permissionsKept = (permissions & ~creationMask) == permissions ||
                           fchmod(partial.descriptor(), permissions) == 0;
    if (!permissionsKept || futimens(partial.descriptor(), times) != 0) {
        result.error = failure("cannot keep the modification time and permissions");
        return result;
    }
    if (!partial.publish(targetName)) {
        result.error = failure("cannot write");
        return result;
    }
    result.copied = true;
    return result;
}

}  // namespace copytool
