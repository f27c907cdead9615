#include "files/saving/SafeSave.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>
#include <utility>
#include <variant>

#include "common/RegularFile.h"
#include "files/lengths/Mp4Atoms.h"
#include "files/saving/AudioBytes.h"
#include "files/saving/AudioInPlace.h"
#include "files/saving/FileIo.h"
#include "files/saving/FileLock.h"
#include "files/saving/InPlaceWrite.h"
#include "files/saving/Journal.h"
#include "files/saving/OverlayStream.h"
#include "files/saving/Recovery.h"
#include "files/saving/SaveCheck.h"

namespace Vantrel {

namespace {

// Each start over follows a change by someone else; more than a few in a
// row means the file is being rewritten all the time.
const int MAX_ATTEMPTS = 5;

// Why a save failed; the file is as it was.
class SaveFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Attempt { SAVED, UNCHANGED, CHANGED };

bool sameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when `path` is still the file described by `before`, unmodified.
bool unchanged(const std::string& path, const struct stat& before) {
    struct stat now;
    return stat(path.c_str(), &now) == 0 && sameInode(before, now) && now.st_size == before.st_size &&
           now.st_mtim.tv_sec == before.st_mtim.tv_sec && now.st_mtim.tv_nsec == before.st_mtim.tv_nsec &&
           now.st_ctim.tv_sec == before.st_ctim.tv_sec && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec;
}

// A failure while another program changes the file is that change showing,
// not a failure of the save.
Attempt changedOr(const FileLocation& target, const struct stat& before, const std::string& problem) {
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;
    throw SaveFailure(problem);
}

// What TagLib saved, with the audio kept where it is when the tags fit the
// room the old ones had; checked either way. Throws SaveCheckFailure.
Layout checkedLayout(TagLib::File& edited, OverlayStream& saved, const AudioFingerprint& audio,
                     OverlayStream& original, int descriptor, const std::string& name) {
    const Container container = containerOf(edited);
    // The audio library's own result must hold the old audio, wherever it put it.
    if (!sameAudioBytes(container, original, saved))
        throw SaveCheckFailure("saving would change its audio");
    const std::optional<std::vector<AudioSpan>> oldAudio = audioSpansOf(container, original);
    const std::optional<std::vector<AudioSpan>> newAudio = audioSpansOf(container, saved);
    if (oldAudio->size() == 1 && oldAudio->front().begin != newAudio->front().begin) {
        if (std::optional<Layout> kept = keepAudioInPlace(container, saved, oldAudio->front(), newAudio->front())) {
            OverlayStream inPlace(descriptor, name, *kept);
            try {
                checkPrepared(edited, inPlace, audio, original);
                return *kept;
            } catch (const SaveCheckFailure&) {
                // The audio library's own layout is checked below instead.
            }
        }
    }
    OverlayStream layout(descriptor, name, saved.layout());
    checkPrepared(edited, layout, audio, original);
    return saved.layout();
}

// Holds back the signals that end a run from the keyboard or a session
// (Ctrl-C, kill, hang-up) while a file is changed, so that it ends whole; they
// are delivered as soon as the save is over. Only kill -9 or a crash can cut
// a save short, and the next run puts the file back from its journal.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signalNumber);
        sigprocmask(SIG_BLOCK, &held, &before);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before;
};

// Writes the layout under a journal; after a failure, the file is put back.
void commit(const FileLocation& target, int descriptor, const struct stat& before, const Layout& layout,
            const Changes& changes, FolderSyncs& later) {
    const SignalsHeld held;
    std::optional<Journal> journal;
    try {
        journal.emplace(target.folder, target.name, descriptor, before, changes.kept);
    } catch (const JournalFailure& failure) {
        throw SaveFailure(failure.what());
    }
    try {
        writeInPlace(layout, changes, *journal, descriptor);
        journal->commit(later);
    } catch (const std::exception& failure) {
        try {
            journal->rollBack();
        } catch (const JournalFailure& rollBack) {
            throw SaveFailure(std::string(failure.what()) + "; then " + rollBack.what() +
                              " (the next vantrel run on it restores it)");
        }
        throw SaveFailure(failure.what());
    }
}

Descriptor openForSaving(const FileLocation& target) {
    std::variant<RegularFile, OpenProblem> opened = openRegularFile(target.path, O_RDWR);
    if (const OpenProblem* problem = std::get_if<OpenProblem>(&opened))
        throw SaveFailure(problem->text());
    return std::move(std::get<RegularFile>(opened).descriptor);
}

Attempt saveOnce(const FileLocation& target, const std::function<void(TagLib::FileRef&)>& edit,
                 FolderSyncs& later) {
    const Descriptor file = openForSaving(target);
    const FileLock lock(file.get());
    try {
        // A vantrel killed while it saved this file since this run started.
        putBackInterruptedSave(target, file.get());
    } catch (const JournalFailure& failure) {
        throw SaveFailure(failure.what());
    }
    struct stat before;
    if (fstat(file.get(), &before) != 0)
        throw SaveFailure(describe("cannot read", errno));
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;

    OverlayStream original(file.get(), target.path);
    OverlayStream overlay(file.get(), target.path);
    TagLib::FileRef fileRef(&overlay, true, TagLib::AudioProperties::Average);
    if (fileRef.isNull() || !fileRef.file()->isValid() ||
        (containerOf(*fileRef.file()) == Container::MP4 && !mp4AtomsFit(file.get())))
        return changedOr(target, before, "the file is no longer valid audio");
    const Container container = containerOf(*fileRef.file());
    if (const std::optional<std::string> unsound = unsoundToSave(container, original))
        throw SaveFailure(*unsound);
    if (!audioSpansOf(container, original))
        return changedOr(target, before, "its audio cannot be found to check the save");
    const AudioFingerprint audio = fingerprintOf(*fileRef.file());
    edit(fileRef);
    const bool savedByTagLib = fileRef.save();
    if (overlay.failure() || original.failure() || !savedByTagLib)
        return changedOr(target, before, overlay.failure().value_or("the tags could not be written"));

    Layout layout;
    try {
        layout = checkedLayout(*fileRef.file(), overlay, audio, original, file.get(), target.path);
    } catch (const SaveCheckFailure& mismatch) {
        return changedOr(target, before, mismatch.what());
    }
    Changes changes;
    try {
        changes = changesBetween(layout, file.get(), static_cast<long>(before.st_size));
    } catch (const JournalFailure& failure) {
        return changedOr(target, before, failure.what());
    }
    if (changes.none())
        return Attempt::UNCHANGED;
    if (!unchanged(target.path, before))
        return Attempt::CHANGED;
    commit(target, file.get(), before, layout, changes, later);
    return Attempt::SAVED;
}

} // namespace

SaveOutcome saveInPlace(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit,
                        FolderSyncs& later) {
    SaveOutcome outcome;
    try {
        const FileLocation target = locationOf(path);
        for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
            const Attempt result = saveOnce(target, edit, later);
            if (result != Attempt::CHANGED) {
                outcome.result = result == Attempt::SAVED ? SaveOutcome::SAVED : SaveOutcome::UNCHANGED;
                return outcome;
            }
        }
    } catch (const SaveFailure& failure) {
        outcome.problem = failure.what();
        return outcome;
    } catch (const LockFailure& failure) {
        outcome.problem = failure.what();
        return outcome;
    }
    outcome.problem = "the file kept changing while it was being saved";
    return outcome;
}

} // namespace Vantrel
