#pragma once

#include "rename/engine_result.h"
#include "rename/entry_identity.h"

#include <QDateTime>
#include <QString>

#include <functional>

// Why a directory entry could not be given its new path. NoSafeRename: the
// file system offers no way to rename that cannot replace an existing entry.
// CharacterRefused: the file system would not take a character of the new
// name. NameTooLong: the new name is longer than the file system allows.
// NotThePlannedEntry: another entry than the one planned stands at the
// current path (it was replaced or moved since the plan was made).
enum class RenameError {
    TargetExists,
    SourceMissing,
    InvalidName,
    PermissionDenied,
    NoSafeRename,
    CharacterRefused,
    NameTooLong,
    NotThePlannedEntry,
    Other
};

struct RenameFailure {
    RenameError error = RenameError::Other;
    // The system's own wording of the error, for the cases that have no
    // reason of their own to show.
    QString systemText;
    // CharacterRefused: the character of the new name refused.
    char32_t refusedCharacter = 0;
};

using RenameResult = EngineResult<RenameFailure>;

// Gives the entry at `currentPath` (file, folder or link) the path `newPath`.
// Never replaces an entry that already has `newPath`, not even an empty folder
// or another link to the same file. Paths reach the system through
// QFile::encodeName; a path holding NUL or one that does not survive that
// encoding fails as InvalidName rather than naming some other entry.
// Where the file system refuses to rename without replacing (network shares,
// FUSE mounts), a regular file is moved by renameFileByLink; a folder, a link,
// and a file where hard links are refused too, by renameByReservation. Such
// a refusal is remembered for the new path's folder, for the life of the
// process: its later renames go that way at once.
// A file system refuses a name it will not take in its own ways (ENOENT,
// EINVAL or EPERM, on FAT also EACCES); while the entry is there and the
// folder writable, such a refusal of a name holding a character Windows
// forbids, or on FAT (whose FUSE driver keeps names to ASCII) a character
// beyond ASCII, fails as CharacterRefused, naming the first such character,
// and never ends in a plain rename.
// On failure returns why; nothing has changed on
// disk (see renameFileByLink and renameByReservation for their exceptions).
RenameResult renameNoReplace(const QString &currentPath, const QString &newPath);

// Moves the regular file at `currentPath` to `newPath` by making a hard link
// at `newPath` and then removing `currentPath`; a link cannot replace
// anything. Fails when `currentPath` is not a regular file, when `newPath` is
// taken, or when either step fails, and then takes back a link it made. Only
// if that too fails does the file keep both names; its content is never lost.
// Where the file system cannot link either, fails as NoSafeRename, or as
// TargetExists when `newPath` is taken.
RenameResult renameFileByLink(const QString &currentPath, const QString &newPath);

// Takes back what renameFileByLink had done when it was cut off between its
// two steps, leaving one file under two names: removes `linkPath`, but only
// while it and `keptPath` are the same regular file, and both are names the
// folder lists (two spellings of one name are one name: nothing is removed,
// and the result is success). On failure returns
// why (TargetExists: they are no longer the same file),
// and both names stay.
RenameResult removeSecondLink(const QString &linkPath, const QString &keptPath);

// Moves the entry at `currentPath` to `newPath` by first claiming `newPath`
// for it: an empty file made exclusively (or an empty folder, for a folder),
// which a plain rename then replaces. Right before that rename the claim is
// looked at again; if anything but the empty entry made here stands at
// `newPath`, fails as TargetExists and changes nothing. Fails as TargetExists
// when `newPath` is taken from the start, and as NoSafeRename where the file
// system can make no such claim or will not rename onto it. When the rename
// itself fails, the claim is removed again if it is still the empty entry
// made here; one that someone else has written into or filled is left as it
// is. Should another program replace the claim in the instant between the
// last look and the rename, the rename replaces that entry in turn: no file
// system offers a way to shut that instant without the no-replace rename.
// A ClaimNotice alive on the calling thread is told of the claim first.
RenameResult renameByReservation(const QString &currentPath, const QString &newPath);

// While it lives, renameByReservation (and so renameNoReplace) on this thread
// tells it of each claim: its path right before making it, and the entry
// made once it stands, before anything is renamed onto it. A run keeps both
// in its record, so that its recovery can tell its own claims from entries
// others made. Of notices alive at once, the newest is told.
class ClaimNotice {
public:
    ClaimNotice(std::function<void(const QString &claimPath)> aboutToClaim,
                std::function<void(const QString &claimPath, const EntryId &claim)> claimed);
    ~ClaimNotice();
    ClaimNotice(const ClaimNotice &) = delete;
    ClaimNotice &operator=(const ClaimNotice &) = delete;

    // Called by renameByReservation.
    void tellAboutToClaim(const QString &claimPath) const { toldBefore(claimPath); }
    void tellClaimed(const QString &claimPath, const EntryId &claim) const { toldAfter(claimPath, claim); }

private:
    const std::function<void(const QString &)> toldBefore;
    const std::function<void(const QString &, const EntryId &)> toldAfter;
    const ClaimNotice *const outer;
};

// Takes away a claim renameByReservation made at `claimPath` when it was cut
// off (killed, a power cut) before its rename onto the claim: the entry there
// goes only while it is an empty regular file or an empty folder made no
// earlier than `madeFrom`, by its birth time, or where the file system keeps
// none, by its status change time. File systems stamp those with a clock
// that lags by up to one of its ticks, so an entry stamped up to a tick
// before `madeFrom` counts as made after it; a volume that stamps in whole
// seconds (exFAT, FAT) often gives its claims a time before `madeFrom`, and
// they stay (the overload below, by the entry made, takes those away). The
// caller knows that nothing but a claim of its own can be such an entry at
// `claimPath`. Fails as
// SourceMissing when nothing is there, as TargetExists when what is there is
// no such entry (it has content, is older, or is of another kind), and
// otherwise as the system says; the entry then stays as it is. A file written
// into in the instant between the look and the removal goes with its content:
// no system call removes a file only while it is empty.
RenameResult removeLeftClaim(const QString &claimPath, const QDateTime &madeFrom);

// Takes away the claim `claim` that renameByReservation made at `claimPath`
// and told a ClaimNotice of, when it was cut off before its rename onto the
// claim: the entry there goes only while it is that very entry (device and
// inode) and still an empty regular file or an empty folder, however the
// file system stamps its times. The caller knows that the claim was made
// and that no entry of its own has been renamed onto it since. Fails as
// SourceMissing when nothing is there, as TargetExists when what is there is
// another entry or one written into, and otherwise as the system says; the
// entry then stays as it is. A file written into in the instant between the
// look and the removal goes with its content, as above.
RenameResult removeLeftClaim(const QString &claimPath, const EntryId &claim);
