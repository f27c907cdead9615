#include "files/saving/SafeSave.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <taglib/mp4file.h>

#include "common/Descriptor.h"
#include "files/saving/DescriptorStream.h"
#include "files/lengths/Mp4Atoms.h"
#include "files/saving/SaveCheck.h"

namespace Vantrel {

namespace {

// Each start over follows a change by someone else; more than a few in a
// row means the file is being rewritten all the time.
const int MAX_ATTEMPTS = 5;
// Another vantrel holds the lock only while it saves the same file.
const std::chrono::seconds LOCK_WAIT(30);

std::string describe(const std::string& what, int error = errno) { return what + ": " + std::strerror(error); }

// The temporary copy's name, kept where a signal handler can reach it
// without allocating, so an interrupted run leaves no copy behind.
char pendingCopy[PATH_MAX];
volatile std::sig_atomic_t copyPending = 0;

extern "C" void removePendingCopy(int signalNumber) {
    if (copyPending != 0)
        unlink(pendingCopy);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void removeCopyOnSignals() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction current;
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(signalNumber, removePendingCopy);
    }
}

// A hidden file beside the original, removed again unless kept.
class TemporaryCopy {
public:
    TemporaryCopy(const std::string& folder, const std::string& name)
        : path(folder + "/." + name + ".vantrel-XXXXXX") {
        removeCopyOnSignals();
        if (path.size() >= sizeof pendingCopy) {
            errno = ENAMETOOLONG;
            return;
        }
        descriptor = mkostemp(&path[0], O_CLOEXEC);
        if (descriptor >= 0) {
            std::memcpy(pendingCopy, path.c_str(), path.size() + 1);
            copyPending = 1;
        }
    }
    ~TemporaryCopy() {
        if (descriptor < 0)
            return;
        copyPending = 0;
        if (!kept)
            unlink(path.c_str());
        close(descriptor);
    }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    bool created() const { return descriptor >= 0; }
    int get() const { return descriptor; }
    // Renames the copy over `target`; from then on it is no longer removed.
    bool replace(const std::string& target) {
        kept = rename(path.c_str(), target.c_str()) == 0;
        copyPending = kept ? 0 : 1;
        return kept;
    }

private:
    std::string path;
    int descriptor = -1;
    bool kept = false;
};

// copy_file_range shares the data where the file system can, and copies
// inside the kernel elsewhere; read and write serve where it is missing.
int copyContents(int from, int to, off_t size) {
    off_t done = 0;
    while (done < size) {
        const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, static_cast<std::size_t>(size - done), 0);
        if (copied > 0) {
            done += copied;
            continue;
        }
        if (copied == 0)
            return EIO; // the original shrank while it was copied
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM)
            return errno;
        break;
    }
    char buffer[1 << 16];
    while (done < size) {
        const ssize_t count = pread(from, buffer, sizeof buffer, done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count < 0 ? errno : EIO;
        for (ssize_t written = 0; written < count;) {
            const ssize_t result = pwrite(to, buffer + written, static_cast<std::size_t>(count - written), done + written);
            if (result < 0 && errno == EINTR)
                continue;
            if (result <= 0)
                return result < 0 ? errno : ENOSPC;
            written += result;
        }
        done += count;
    }
    return 0;
}

// Failures are left alone: they can only leave the copy less open than
// the original (a file system without owners or modes), never more.
void keepOwnerAndMode(int descriptor, const struct stat& original) {
    if (geteuid() == 0)
        (void)!fchown(descriptor, original.st_uid, original.st_gid);
    else
        (void)!fchown(descriptor, static_cast<uid_t>(-1), original.st_gid);
    fchmod(descriptor, original.st_mode & 07777);
}

// Waits, within bounds, for another vantrel saving the same file.
bool lockWithin(int descriptor, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        // Where locks are not supported, go on without one.
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool sameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when `path` is still the file described by `before`, unmodified.
bool unchanged(const std::string& path, const struct stat& before) {
    struct stat now;
    return stat(path.c_str(), &now) == 0 && sameInode(before, now) && now.st_size == before.st_size &&
           now.st_mtim.tv_sec == before.st_mtim.tv_sec && now.st_mtim.tv_nsec == before.st_mtim.tv_nsec &&
           now.st_ctim.tv_sec == before.st_ctim.tv_sec && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec;
}

void syncFolder(const std::string& folder) {
    const Descriptor descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.get() >= 0)
        fsync(descriptor.get());
}

// Why a save failed; the original is untouched.
class SaveFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& what, int error = errno) { throw SaveFailure(describe(what, error)); }

enum class Attempt { SAVED, CHANGED };

struct Target {
    std::string path;
    std::string folder;
    std::string name;
};

// A failure while another program changes the file is that change showing,
// not a failure of the save.
Attempt changedOr(const Target& target, const struct stat& before, const std::string& problem) {
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;
    throw SaveFailure(problem);
}

Attempt saveOnce(const Target& target, const std::function<void(TagLib::FileRef&)>& edit) {
    const Descriptor original(open(target.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (original.get() < 0)
        fail("cannot open");
    if (!lockWithin(original.get(), LOCK_WAIT))
        throw SaveFailure("another program keeps the file locked");
    struct stat before;
    if (fstat(original.get(), &before) != 0)
        fail("cannot read");
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;

    TemporaryCopy copy(target.folder, target.name);
    if (!copy.created())
        fail("cannot make a temporary copy in its folder");
    // A file that another program is rewriting may be cut short or
    // unreadable for a moment: that is a change, not a failure.
    if (const int error = copyContents(original.get(), copy.get(), before.st_size))
        return changedOr(target, before, describe("cannot copy", error));
    keepOwnerAndMode(copy.get(), before);

    DescriptorStream stream(copy.get(), target.path);
    TagLib::FileRef fileRef(&stream, true, TagLib::AudioProperties::Average);
    if (fileRef.isNull() || !fileRef.file()->isValid() ||
        (dynamic_cast<TagLib::MP4::File*>(fileRef.file()) != nullptr && !mp4AtomsFit(copy.get())))
        return changedOr(target, before, "the file is no longer valid audio");
    const AudioFingerprint audio = fingerprintOf(*fileRef.file(), copy.get());
    stream.watch(audio.audioBegin, audio.audioEnd);
    edit(fileRef);
    const bool savedByTagLib = fileRef.save();
    if (stream.failure() || !savedByTagLib)
        throw SaveFailure(stream.failure().value_or("the tags could not be written"));
    if (fsync(copy.get()) != 0)
        fail("cannot write");
    try {
        checkSavedCopy(*fileRef.file(), copy.get(), target.path, audio, original.get(), stream.touched());
    } catch (const SaveCheckFailure& mismatch) {
        return changedOr(target, before, mismatch.what());
    }
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;
    if (!copy.replace(target.path))
        fail("cannot replace the file");
    syncFolder(target.folder);
    return Attempt::SAVED;
}

Target targetOf(const std::string& path) {
    // A symbolic link stays a link: its target is what gets replaced.
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        fail("cannot open");
    Target target;
    target.path = resolved;
    std::free(resolved);
    const std::string::size_type slash = target.path.find_last_of('/');
    target.folder = slash == 0 ? "/" : target.path.substr(0, slash);
    target.name = target.path.substr(slash + 1);
    return target;
}

} // namespace

SaveOutcome saveThroughCopy(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit) {
    SaveOutcome outcome;
    try {
        const Target target = targetOf(path);
        for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
            if (saveOnce(target, edit) == Attempt::SAVED) {
                outcome.saved = true;
                return outcome;
            }
        }
    } catch (const SaveFailure& failure) {
        outcome.problem = failure.what();
        return outcome;
    }
    outcome.problem = "the file kept changing while it was being saved";
    return outcome;
}

} // namespace Vantrel
