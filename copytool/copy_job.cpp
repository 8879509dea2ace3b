#include "copy_job.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
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
    bool exists = stat(source.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        return SourceSelection{source, withoutTrailingSlashes(source), std::nullopt};
    }
    fs::path path(source);
    std::string name = path.filename().string();
    std::string folder = path.parent_path().string();
    bool isFile = exists && S_ISREG(status.st_mode);
    if (name.empty() || (!isFile && !hasWildcard(name))) return std::nullopt;
    struct stat folderStatus;
    if (stat(folder.empty() ? "." : folder.c_str(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode)) {
        return std::nullopt;
    }
    return SourceSelection{folder.empty() ? "." : folder, folder, name};
}

// One source folder to copy into one target folder.
struct FolderTask {
    std::string source;
    std::string shown;
    std::string target;
    bool isTop = false;
};

class CopyJob {
public:
    CopyJob(const CopyOptions& options, std::FILE* out, std::FILE* errors, std::FILE* answers)
        : options_(options), out_(out), errors_(errors), answers_(answers),
          overwriteAll_(options.overwriteWithoutAsking) {
        mode_t mask = umask(0);
        umask(mask);
        creationMask_ = mask;
    }

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
        namePattern_ = selection->namePattern;
        pending_.push_back({selection->folder, selection->folderShown, options_.target, true});
        runWorkers();

        std::fprintf(out_, "%d File(s) copied\n", filesCopied_.load());
        // A listing that was lost is a failure too, though the files are
        // copied: a script must not take silence for success.
        errno = 0;
        if (std::fflush(out_) != 0 || std::ferror(out_)) {
            std::fprintf(errors_, "xcopy.exe: cannot write to standard output: %s\n",
                         std::strerror(errno != 0 ? errno : EIO));
            outputLost_ = true;
        }
        if (interruptedRun_) return kStatusInterrupted;
        if (targetUnusable_) return kStatusCannotStart;
        if (fileFailed_ || outputLost_) return kStatusWriteFailed;
        if (filesSelected_ == 0) return kStatusNothingFound;
        return kStatusCopied;
    }

private:
    // Folders are shared out among worker threads, deepest first, so the
    // folders waiting stay few. Questions before overwriting need one
    // thread, so that they come one at a time and in order.
    void runWorkers() {
        unsigned count = options_.overwriteWithoutAsking ? std::clamp(std::thread::hardware_concurrency(), 1u, 4u) : 1u;
        std::vector<std::thread> helpers;
        for (unsigned index = 1; index < count; ++index) helpers.emplace_back([this] { work(); });
        work();
        for (std::thread& helper : helpers) helper.join();
    }

    void work() {
        while (std::optional<FolderTask> task = nextTask()) {
            std::vector<std::string> subfolders = copyFolder(*task);
            finishTask(*task, subfolders);
        }
    }

    std::optional<FolderTask> nextTask() {
        std::unique_lock lock(queueMutex_);
        queueChanged_.wait(lock, [this] { return !pending_.empty() || busyWorkers_ == 0; });
        if (pending_.empty()) return std::nullopt;
        FolderTask task = std::move(pending_.back());
        pending_.pop_back();
        ++busyWorkers_;
        return task;
    }

    void finishTask(const FolderTask& task, const std::vector<std::string>& subfolders) {
        std::lock_guard lock(queueMutex_);
        if (!stopped()) {
            // Reversed, so that the first subfolder is the next one taken.
            for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
                pending_.push_back({joinPath(task.source, *name), joinPath(task.shown, *name),
                                    joinPath(task.target, *name), false});
            }
        }
        --busyWorkers_;
        queueChanged_.notify_all();
    }

    void report(const std::string& message) {
        std::lock_guard lock(outputMutex_);
        std::fflush(out_);
        std::fprintf(errors_, "xcopy.exe: %s\n", message.c_str());
        std::fflush(errors_);
    }

    void fail(const std::string& message) {
        report(message);
        fileFailed_ = true;
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

    // The target folder of a task, made when its first file comes, so that
    // no folder is left that received nothing.
    struct TargetFolder {
        int descriptor = -1;
        bool madeHere = false;  // we made it: no file of that name is there yet
        ~TargetFolder() {
            if (descriptor >= 0) close(descriptor);
        }
    };

    bool openTarget(const FolderTask& task, TargetFolder& target) {
        if (target.descriptor >= 0) return true;
        std::error_code error;
        target.madeHere = fs::create_directories(task.target, error);
        target.descriptor = open(task.target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (target.descriptor >= 0) return true;
        std::string message = (task.isTop ? "cannot make the target folder " : "cannot make the folder ") +
                              withoutTrailingSlashes(task.target) + ": " + std::strerror(errno);
        if (task.isTop) {
            report(message);
            targetUnusable_ = true;
        } else {
            fail(message);
        }
        return false;
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

    void copyFile(int sourceFolder, const char* name, const struct stat& status, const FolderTask& task,
                  TargetFolder& target) {
        ++filesSelected_;
        if (!openTarget(task, target)) return;
        std::string shown = joinPath(task.shown, name);
        struct stat existing;
        if (!target.madeHere && fstatat(target.descriptor, name, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            std::string targetPath = joinPath(task.target, name);
            if (S_ISDIR(existing.st_mode)) {
                fail("cannot overwrite the folder " + targetPath + " with a file");
                return;
            }
            if (askToOverwrite(targetPath) == Answer::No || stopped()) return;
        }
        {
            std::lock_guard lock(outputMutex_);
            std::fprintf(out_, "%s\n", shown.c_str());
        }
        FileCopyResult result =
            copyFileAtomically(sourceFolder, name, status, target.descriptor, name, creationMask_);
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

    // Copies the selected files of one folder, in one pass over it, and
    // returns its subfolders (with /s) for later tasks. Symbolic links are
    // never followed, so the walk cannot loop or leave the source.
    std::vector<std::string> copyFolder(const FolderTask& task) {
        std::vector<std::string> subfolders;
        int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (task.isTop ? 0 : O_NOFOLLOW);
        int folder = open(task.source.c_str(), flags);
        DIR* listing = folder >= 0 ? fdopendir(folder) : nullptr;
        if (listing == nullptr) {
            if (folder >= 0) close(folder);
            if (errno != ELOOP) fail("cannot read " + task.shown + ": " + std::strerror(errno));
            return subfolders;
        }
        TargetFolder target;
        while (const dirent* entry = readdir(listing)) {
            if (stopped()) break;
            if (isDotOrDotDot(entry->d_name)) continue;
            if (entry->d_type == DT_DIR) {
                if (options_.subfolders) subfolders.emplace_back(entry->d_name);
                continue;
            }
            struct stat status;
            if (fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(status.st_mode)) {
                if (selected(entry->d_name, status)) copyFile(folder, entry->d_name, status, task, target);
            } else if (S_ISDIR(status.st_mode)) {
                if (options_.subfolders) subfolders.emplace_back(entry->d_name);
            } else if (S_ISLNK(status.st_mode)) {
                report("not following the symbolic link " + joinPath(task.shown, entry->d_name));
            }
        }
        closedir(listing);
        return subfolders;
    }

    const CopyOptions& options_;
    std::FILE* out_;
    std::FILE* errors_;
    std::FILE* answers_;
    std::optional<std::string> namePattern_;
    mode_t creationMask_ = 0;

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::vector<FolderTask> pending_;
    int busyWorkers_ = 0;

    std::mutex outputMutex_;
    bool overwriteAll_;  // with questions there is one thread only
    bool answersEnded_ = false;

    std::atomic<int> filesSelected_{0};
    std::atomic<int> filesCopied_{0};
    std::atomic<bool> fileFailed_{false};
    std::atomic<bool> targetUnusable_{false};
    std::atomic<bool> interruptedRun_{false};
    bool outputLost_ = false;
};

}  // namespace

int runCopyJob(const CopyOptions& options, std::FILE* out, std::FILE* errors, std::FILE* answers) {
    return CopyJob(options, out, errors, answers).run();
}

}  // namespace copytool
