#include "copy_job.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "file_copy.h"
#include "interruption.h"

namespace copytool {

namespace {

namespace fs = std::filesystem;

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// What the source names: every file of a folder, or the files of a folder
// whose names match a pattern (a file's own name is a pattern without
// wildcards).
struct SourceSelection {
    std::string folder;
    std::string folderShown;  // as the user wrote it, for the listing
    std::optional<std::string> namePattern;
};

bool hasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool nameMatches(const std::optional<std::string>& pattern, const char* name) {
    if (!pattern) return true;
    if (!hasWildcard(*pattern)) return *pattern == name;
    if (fnmatch(pattern->c_str(), name, 0) == 0) return true;
    // As on Windows, "*.*" also matches names without a dot.
    if (pattern->size() > 2 && pattern->compare(pattern->size() - 2, 2, ".*") == 0 &&
        std::strchr(name, '.') == nullptr) {
        return fnmatch(pattern->substr(0, pattern->size() - 2).c_str(), name, 0) == 0;
    }
    return false;
}

std::optional<SourceSelection> selectSource(const std::string& source) {
    struct stat status;
    if (stat(source.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::string shown = withoutTrailingSlashes(source);
        return SourceSelection{source, shown, std::nullopt};
    }
    fs::path path(source);
    std::string name = path.filename().string();
    std::string folder = path.parent_path().string();
    bool isFile = stat(source.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (name.empty() || (!isFile && !hasWildcard(name))) return std::nullopt;
    struct stat folderStatus;
    if (stat(folder.empty() ? "." : folder.c_str(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode)) {
        return std::nullopt;
    }
    return SourceSelection{folder.empty() ? "." : folder, folder, name};
}

// A target folder, made only when the first file goes into it, so that no
// folder is left that received nothing.
struct TargetFolder {
    std::string path;
    TargetFolder* parent = nullptr;  // none for the target itself
    std::string name;                // within the parent
    int descriptor = -1;

    ~TargetFolder() {
        if (descriptor >= 0) close(descriptor);
    }
};

class CopyJob {
public:
    CopyJob(const CopyOptions& options, std::FILE* out, std::FILE* errors, std::FILE* answers)
        : options_(options), out_(out), errors_(errors), answers_(answers),
          overwriteAll_(options.overwriteWithoutAsking) {}

    int run() {
        std::optional<SourceSelection> selection = selectSource(options_.source);
        if (!selection) {
            report("File not found - " + options_.source);
            return kStatusCannotStart;
        }
        if (std::string problem = cycleProblem(selection->folder); !problem.empty()) {
            report(problem);
            return kStatusCannotStart;
        }
        int folder = open(selection->folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            report("cannot read " + selection->folder + ": " + std::strerror(errno));
            return kStatusCannotStart;
        }
        namePattern_ = selection->namePattern;
        TargetFolder target;
        target.path = options_.target;
        copyFolder(folder, selection->folderShown, target);

        std::fprintf(out_, "%d File(s) copied\n", filesCopied_);
        std::fflush(out_);
        if (interruptedRun_) return kStatusInterrupted;
        if (targetUnusable_) return kStatusCannotStart;
        if (fileFailed_) return kStatusWriteFailed;
        if (filesSelected_ == 0) return kStatusNothingFound;
        return kStatusCopied;
    }

private:
    void report(const std::string& message) {
        std::fflush(out_);
        std::fprintf(errors_, "xcopy.exe: %s\n", message.c_str());
        std::fflush(errors_);
    }

    // Whether to stop now: interrupted, the target unusable, or a file
    // failed without /c.
    bool stopped() {
        if (interrupted()) interruptedRun_ = true;
        return interruptedRun_ || targetUnusable_ || (fileFailed_ && !options_.continueOnError);
    }

    // A copy into the source itself, with subfolders, would copy its own
    // output again and again.
    std::string cycleProblem(const std::string& sourceFolder) const {
        std::error_code error;
        fs::path source = fs::weakly_canonical(sourceFolder, error);
        fs::path target = fs::weakly_canonical(withoutTrailingSlashes(options_.target), error);
        if (error) return "";
        if (source == target) return "Cannot copy a folder onto itself";
        if (!options_.subfolders) return "";
        auto mismatch = std::mismatch(source.begin(), source.end(), target.begin(), target.end());
        if (mismatch.first == source.end()) return "Cannot perform a cyclic copy";
        return "";
    }

    bool makeTargetFolder(TargetFolder& folder) {
        if (folder.descriptor >= 0) return true;
        if (folder.parent == nullptr) {
            std::error_code error;
            fs::create_directories(folder.path, error);
            folder.descriptor = open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folder.descriptor < 0) {
                report("cannot make the target folder " + folder.path + ": " +
                       std::strerror(errno));
                targetUnusable_ = true;
                return false;
            }
            return true;
        }
        if (!makeTargetFolder(*folder.parent)) return false;
        if (mkdirat(folder.parent->descriptor, folder.name.c_str(), 0777) != 0 && errno != EEXIST) {
            fail("cannot make the folder " + folder.path + ": " + std::strerror(errno));
            return false;
        }
        folder.descriptor = openat(folder.parent->descriptor, folder.name.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder.descriptor < 0) {
            fail("cannot open the folder " + folder.path + ": " + std::strerror(errno));
            return false;
        }
        return true;
    }

    void fail(const std::string& message) {
        report(message);
        fileFailed_ = true;
    }

    enum class Answer { Yes, No };

    Answer askToOverwrite(const std::string& targetPath) {
        if (overwriteAll_) return Answer::Yes;
        while (true) {
            std::fprintf(out_, "Overwrite %s (Yes/No/All)? ", targetPath.c_str());
            std::fflush(out_);
            char line[256];
            if (answersEnded_ || std::fgets(line, sizeof line, answers_) == nullptr) {
                // No more answers: the file stays as it is.
                answersEnded_ = true;
                std::fputc('\n', out_);
                return Answer::No;
            }
            switch (line[0]) {
                case 'y': case 'Y': return Answer::Yes;
                case 'n': case 'N': return Answer::No;
                case 'a': case 'A': overwriteAll_ = true; return Answer::Yes;
                default: break;
            }
        }
    }

    void copyFile(int sourceFolder, const char* name, const struct stat& status,
                  const std::string& shown, TargetFolder& target) {
        ++filesSelected_;
        if (!makeTargetFolder(target)) return;
        std::string targetPath = joinPath(target.path, name);
        struct stat existing;
        if (fstatat(target.descriptor, name, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(existing.st_mode)) {
                fail("cannot overwrite the folder " + targetPath + " with a file");
                return;
            }
            if (askToOverwrite(targetPath) == Answer::No || stopped()) return;
        }
        std::fprintf(out_, "%s\n", shown.c_str());
        FileCopyResult result = copyFileAtomically(sourceFolder, name, status, target.descriptor, name);
        if (result.interrupted) {
            interruptedRun_ = true;
        } else if (!result.copied) {
            fail(shown + ": " + result.error);
        } else {
            ++filesCopied_;
        }
    }

    bool selected(const char* name, const struct stat& status) const {
        if (!nameMatches(namePattern_, name)) return false;
        return !options_.changedSince || status.st_mtime >= *options_.changedSince;
    }

    // The files of one folder first, then (with /s) its subfolders. The
    // folder is read twice rather than held, so memory does not grow with
    // its size; symbolic links are never followed.
    void copyFolder(int folder, const std::string& shown, TargetFolder& target) {
        DIR* listing = fdopendir(folder);
        if (listing == nullptr) {
            close(folder);
            fail("cannot read " + shown + ": " + std::strerror(errno));
            return;
        }
        while (const dirent* entry = readdir(listing)) {
            if (stopped()) break;
            if (entry->d_type == DT_DIR || isDotOrDotDot(entry->d_name)) continue;
            struct stat status;
            if (fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
            std::string entryShown = joinPath(shown, entry->d_name);
            if (S_ISREG(status.st_mode)) {
                if (selected(entry->d_name, status)) copyFile(folder, entry->d_name, status, entryShown, target);
            } else if (S_ISLNK(status.st_mode)) {
                report("not following the symbolic link " + entryShown);
            }
        }
        if (options_.subfolders && !stopped()) {
            rewinddir(listing);
            while (const dirent* entry = readdir(listing)) {
                if (stopped()) break;
                if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
                if (isDotOrDotDot(entry->d_name)) continue;
                int subfolder = openat(folder, entry->d_name,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (subfolder < 0) {
                    if (errno != ENOTDIR && errno != ELOOP) {
                        fail("cannot read " + joinPath(shown, entry->d_name) + ": " + std::strerror(errno));
                    }
                    continue;
                }
                TargetFolder subtarget;
                subtarget.path = joinPath(target.path, entry->d_name);
                subtarget.parent = &target;
                subtarget.name = entry->d_name;
                copyFolder(subfolder, joinPath(shown, entry->d_name), subtarget);
            }
        }
        closedir(listing);
    }

    static bool isDotOrDotDot(const char* name) {
        return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
    }

    const CopyOptions& options_;
    std::FILE* out_;
    std::FILE* errors_;
    std::FILE* answers_;
    std::optional<std::string> namePattern_;
    bool overwriteAll_;
    bool answersEnded_ = false;
    int filesSelected_ = 0;
    int filesCopied_ = 0;
    bool fileFailed_ = false;
    bool targetUnusable_ = false;
    bool interruptedRun_ = false;
};

}  // namespace

int runCopyJob(const CopyOptions& options, std::FILE* out, std::FILE* errors, std::FILE* answers) {
    return CopyJob(options, out, errors, answers).run();
}

}  // namespace copytool
