#include "rename/rename_no_replace.h"

#include "rename/entry_identity.h"
#include "rename/file_system_kind.h"
#include "rename/windows_name_rules.h"

#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace {

// A QString with NUL would be cut short by the C interfaces, and one that
// does not round-trip through the file-name encoding would name a different
// entry; both must fail instead of touching the wrong file.
std::optional<QByteArray> encodePath(const QString &path)
{
    if (path.contains(QChar(u'\0')))
        return std::nullopt;
    QByteArray encoded = QFile::encodeName(path);
    if (QFile::decodeName(encoded) != path)
        return std::nullopt;
    return encoded;
}

RenameFailure failureFromErrno(int errorCode, const QByteArray &currentPath)
{
    switch (errorCode) {
    case EEXIST:
    case ENOTEMPTY:
        return {RenameError::TargetExists, {}};
    case EACCES:
    case EPERM:
        return {RenameError::PermissionDenied, {}};
    case ENAMETOOLONG:
        return {RenameError::InvalidName, {}};
    default:
        break;
    }
    // ENOENT and ENOTDIR may concern either path; only the source's absence
    // is worth its own reason.
    struct stat status {};
    if (lstat(currentPath.constData(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {RenameError::SourceMissing, {}};
    return {RenameError::Other, qt_error_string(errorCode)};
}

QByteArray folderOf(const QByteArray &path)
{
    return path.left(path.lastIndexOf('/'));
}

// Whether `folder` lies on a FAT volume. Looked up only once a name was
// refused, so the cost of learning a FUSE mount's make stays off the way of
// renames that succeed.
bool onFatVolume(const QByteArray &folder)
{
    return FileSystemKinds().of(QFile::decodeName(folder)) == FileSystemKind::Fat;
}

// fusefat keeps long names to ASCII: it refuses any other character, DEL
// included, with EPERM.
char32_t firstCharacterBeyondAscii(const QString &name)
{
    for (const char32_t character : name.toUcs4())
        if (character >= 0x7f)
            return character;
    return 0;
}

// A file system that will not take a name says so in a way of its own:
// exFAT's driver answers ENOENT, FAT's EPERM (or EACCES), others EINVAL.
// While the entry to move is there and the folder can be written, a new name
// holding a character Windows forbids, or too long a name, is what was
// refused; on FAT, so is a character beyond ASCII.
std::optional<RenameFailure> nameRefusal(int errorCode, const QByteArray &current, const QByteArray &target)
{
    const bool refusedAsOnFat = errorCode == EPERM || errorCode == EACCES;
    if (errorCode != ENOENT && errorCode != EINVAL && !refusedAsOnFat)
        return std::nullopt;
    struct stat status {};
    if (lstat(current.constData(), &status) != 0 || access(folderOf(target).constData(), W_OK) != 0)
        return std::nullopt;
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    const QString decodedName = QFile::decodeName(name);
    const bool onFat = refusedAsOnFat && onFatVolume(folderOf(target));
    if (errorCode == EACCES && !onFat)
        return std::nullopt;
    if (const char32_t character = characterWindowsRefuses(decodedName))
        return RenameFailure{RenameError::CharacterRefused, {}, character};
    // Some drivers (fusefat) refuse names of more bytes than Linux' usual
    // limit without saying ENAMETOOLONG.
    if (name.size() > NAME_MAX)
        return RenameFailure{RenameError::NameTooLong, {}};
    if (const char32_t character = onFat ? firstCharacterBeyondAscii(decodedName) : 0)
        return RenameFailure{RenameError::CharacterRefused, {}, character};
    return std::nullopt;
}

// Why making the entry's new name at `target` failed with `errorCode`. A
// path within the system's limit that is still too long has a name too long
// for its file system.
RenameFailure targetFailure(int errorCode, const QByteArray &current, const QByteArray &target)
{
    if (errorCode == ENAMETOOLONG && target.size() < PATH_MAX && current.size() < PATH_MAX)
        return {RenameError::NameTooLong, {}};
    if (const std::optional<RenameFailure> refused = nameRefusal(errorCode, current, target))
        return *refused;
    return failureFromErrno(errorCode, current);
}

// Said when no safe way is left. Some file systems answer every refused link
// this way, even one whose target exists, so a taken target is looked up to
// keep its own reason.
RenameFailure noSafeRename(const QByteArray &target)
{
    struct stat status {};
    if (lstat(target.constData(), &status) == 0)
        return {RenameError::TargetExists, {}};
    return {RenameError::NoSafeRename, {}};
}

// The entry `currentPath` names, or why it cannot be moved at all.
RenameResult lookUpSource(const QByteArray &current, const QByteArray &target, struct stat &status)
{
    if (lstat(current.constData(), &status) != 0)
        return failureFromErrno(errno, current);
    if (S_ISDIR(status.st_mode) && target.startsWith(current + '/'))
        return RenameFailure{RenameError::InvalidName, {}};
    return RenameResult::success();
}

// A rename's two paths as the system takes them, and the entry to move.
struct LookedUpRename {
    QByteArray current;
    QByteArray target;
    struct stat source {};
};

// Fills `rename` for `currentPath` to `newPath`; or says why the rename
// cannot begin, and `rename` is then not to be used.
RenameResult encodeAndLookUp(const QString &currentPath, const QString &newPath, LookedUpRename &rename)
{
    const std::optional<QByteArray> encodedCurrent = encodePath(currentPath);
    const std::optional<QByteArray> encodedTarget = encodePath(newPath);
    if (!encodedCurrent || !encodedTarget)
        return RenameFailure{RenameError::InvalidName, {}};
    rename.current = *encodedCurrent;
    rename.target = *encodedTarget;
    return lookUpSource(rename.current, rename.target, rename.source);
}

// EPERM is also how a file system says it has no hard links at all, some
// answer EINVAL or EOPNOTSUPP instead, and EMLINK says this file can take no
// more.
bool linksRefused(int linkError)
{
    return linkError == EPERM || linkError == EOPNOTSUPP || linkError == EINVAL || linkError == EMLINK;
}

// Links, then unlinks; `linkError` gets the link's errno when the link
// itself is what failed, and stays 0 otherwise.
RenameResult linkThenUnlink(const QByteArray &current, const QByteArray &target, int &linkError)
{
    linkError = 0;
    if (linkat(AT_FDCWD, current.constData(), AT_FDCWD, target.constData(), 0) != 0) {
        linkError = errno;
        if (linksRefused(linkError))
            return noSafeRename(target);
        return targetFailure(linkError, current, target);
    }
    if (unlink(current.constData()) != 0) {
        const int unlinkError = errno;
        unlink(target.constData());
        return failureFromErrno(unlinkError, current);
    }
    return RenameResult::success();
}

// What was made at the new path to hold it: told by device and inode.
struct Reservation {
    dev_t device = 0;
    ino_t inode = 0;
    bool folder = false;
};

// Whether `target` is still the reservation, untouched: the same entry and,
// for a file, still empty (the rename onto a folder refuses by itself when
// the folder is no longer empty).
bool isStillReservation(const QByteArray &target, const Reservation &reservation)
{
    struct stat status {};
    if (lstat(target.constData(), &status) != 0)
        return false;
    return status.st_dev == reservation.device && status.st_ino == reservation.inode &&
           (reservation.folder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode) && status.st_size == 0);
}

void removeReservation(const QByteArray &target, const Reservation &reservation)
{
    if (!isStillReservation(target, reservation))
        return;
    if (reservation.folder)
        rmdir(target.constData());
    else
        unlink(target.constData());
}

RenameFailure reservationRefused(int reserveError, const QByteArray &current, const QByteArray &target)
{
    if (const std::optional<RenameFailure> refused = nameRefusal(reserveError, current, target))
        return *refused;
    if (reserveError == EINVAL || reserveError == EOPNOTSUPP || reserveError == ENOSYS)
        return noSafeRename(target);
    return failureFromErrno(reserveError, current);
}

thread_local const ClaimNotice *claimNotice = nullptr;

// Makes the reservation: an empty folder for a folder, an empty file made
// exclusively for anything else, each open to its owner only so that no
// other user can write into it meanwhile.
RenameResult reserve(const QByteArray &current, const QByteArray &target, bool folder,
                                     Reservation &reservation)
{
    reservation.folder = folder;
    struct stat status {};
    if (claimNotice)
        claimNotice->tellAboutToClaim(QFile::decodeName(target));
    if (folder) {
        if (mkdir(target.constData(), 0700) != 0)
            return reservationRefused(errno, current, target);
        if (lstat(target.constData(), &status) != 0) {
            const int lookError = errno;
            // Only an empty folder goes, and none but ours can be there yet.
            rmdir(target.constData());
            return RenameFailure{RenameError::Other, qt_error_string(lookError)};
        }
    } else {
        const int file = open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0)
            return reservationRefused(errno, current, target);
        // Closed before the rename: NFS keeps a file replaced while open
        // under a name of its own until it is closed.
        const bool known = fstat(file, &status) == 0;
        const int lookError = errno;
        close(file);
        if (!known) {
            unlink(target.constData());
            return RenameFailure{RenameError::Other, qt_error_string(lookError)};
        }
    }
    reservation.device = status.st_dev;
    reservation.inode = status.st_ino;
    // Another kind of entry than the one made is no claim of ours: the look
    // before the rename refuses it.
    if (claimNotice && folder == S_ISDIR(status.st_mode))
        claimNotice->tellClaimed(QFile::decodeName(target), EntryId{quint64(status.st_dev), quint64(status.st_ino)});
    return RenameResult::success();
}

RenameResult renameOntoReservation(const QByteArray &current, const QByteArray &target, bool folder)
{
    Reservation reservation;
    if (RenameResult refused = reserve(current, target, folder, reservation); !refused.ok())
        return refused;
    if (!isStillReservation(target, reservation))
        return RenameFailure{RenameError::TargetExists, {}};
    if (rename(current.constData(), target.constData()) == 0)
        return RenameResult::success();
    const int renameError = errno;
    const bool stillOurs = isStillReservation(target, reservation);
    removeReservation(target, reservation);
    // Refused onto our own empty entry: this file system will not rename
    // onto anything, so no reservation can help (fusefat says so of folders
    // with EPERM). A folder someone filled meanwhile stays, and is then
    // reported as taken.
    if (stillOurs && (renameError == EEXIST || renameError == ENOTEMPTY || (renameError == EPERM && folder)))
        return noSafeRename(target);
    return targetFailure(renameError, current, target);
}

// The folders whose file system refused the no-replace rename. Asking a
// network share again costs a round trip to its server for every rename, as
// much as the rename itself; the rows of one folder come in their hundreds.
// Told by path, a folder that has since become another file system only
// takes the slower way, which is just as safe there.
class FoldersWithoutNoReplace {
public:
    bool contains(const QByteArray &folder) const
    {
        const QMutexLocker locker(&mutex);
        return folders.contains(folder);
    }
    void insert(const QByteArray &folder)
    {
        const QMutexLocker locker(&mutex);
        folders.insert(folder);
    }

private:
    mutable QMutex mutex;
    QSet<QByteArray> folders;
};

FoldersWithoutNoReplace &foldersWithoutNoReplace()
{
    static FoldersWithoutNoReplace folders;
    return folders;
}

// Where the no-replace rename is refused. A link is atomic, leaves no window
// for another entry to slip in, and costs two calls against a reservation's
// five, most of them round trips on a network share; so files go by link
// wherever the file system has links, and by reservation where it has not.
// `source` is the entry at `current`, looked up by lookUpSource.
RenameResult renameWithoutNoReplace(const QByteArray &current, const QByteArray &target,
                                                    const struct stat &source)
{
    if (S_ISREG(source.st_mode)) {
        int linkError = 0;
        RenameResult linked = linkThenUnlink(current, target, linkError);
        if (linked.ok() || !linksRefused(linkError) || linked.error().error == RenameError::TargetExists)
            return linked;
    }
    return renameOntoReservation(current, target, S_ISDIR(source.st_mode));
}

// The step of the clock file systems stamp entries with, in nanoseconds.
qint64 timestampTick()
{
    struct timespec tick {};
    if (clock_getres(CLOCK_REALTIME_COARSE, &tick) != 0)
        return 10000000;
    return qint64(tick.tv_sec) * 1000000000 + tick.tv_nsec;
}

qint64 nanoseconds(const struct statx_timestamp &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Whether `status` is of an entry shaped as a claim is: an empty file, or a
// folder (whose emptiness rmdir itself insists on).
bool shapedAsClaim(const struct statx &status)
{
    return (S_ISREG(status.stx_mode) && status.stx_size == 0) || S_ISDIR(status.stx_mode);
}

// Whether `status` is of an entry shaped as a claim and made from `madeFrom` on.
bool looksLikeClaim(const struct statx &status, qint64 madeFrom)
{
    if (!shapedAsClaim(status))
        return false;
    const qint64 made =
        (status.stx_mask & STATX_BTIME) ? nanoseconds(status.stx_btime) : nanoseconds(status.stx_ctime);
    return made >= madeFrom - timestampTick();
}

// Removes the entry at `claimPath` when `isClaim` says its status is a claim's.
template<typename IsClaim>
RenameResult removeClaimIf(const QString &claimPath, IsClaim isClaim)
{
    const std::optional<QByteArray> claim = encodePath(claimPath);
    if (!claim)
        return RenameFailure{RenameError::InvalidName, {}};
    struct statx status {};
    if (statx(AT_FDCWD, claim->constData(), AT_SYMLINK_NOFOLLOW,
              STATX_TYPE | STATX_SIZE | STATX_INO | STATX_BTIME | STATX_CTIME, &status) != 0)
        return failureFromErrno(errno, *claim);
    if (!isClaim(status))
        return RenameFailure{RenameError::TargetExists, {}};
    const int removed = S_ISDIR(status.stx_mode) ? rmdir(claim->constData()) : unlink(claim->constData());
    if (removed != 0)
        return failureFromErrno(errno, *claim);
    return RenameResult::success();
}

} // namespace

ClaimNotice::ClaimNotice(std::function<void(const QString &claimPath)> aboutToClaim,
                         std::function<void(const QString &claimPath, const EntryId &claim)> claimed)
    : toldBefore(std::move(aboutToClaim)), toldAfter(std::move(claimed)), outer(claimNotice)
{
    claimNotice = this;
}

ClaimNotice::~ClaimNotice()
{
    claimNotice = outer;
}

RenameResult removeLeftClaim(const QString &claimPath, const QDateTime &madeFrom)
{
    const qint64 madeFromNanoseconds = madeFrom.toMSecsSinceEpoch() * 1000000;
    return removeClaimIf(claimPath, [madeFromNanoseconds](const struct statx &status) {
        return looksLikeClaim(status, madeFromNanoseconds);
    });
}

RenameResult removeLeftClaim(const QString &claimPath, const EntryId &claim)
{
    return removeClaimIf(claimPath, [&claim](const struct statx &status) {
        const EntryId there{quint64(makedev(status.stx_dev_major, status.stx_dev_minor)), status.stx_ino};
        return there == claim && shapedAsClaim(status);
    });
}

RenameResult renameNoReplace(const QString &currentPath, const QString &newPath)
{
    const std::optional<QByteArray> current = encodePath(currentPath);
    const std::optional<QByteArray> target = encodePath(newPath);
    if (!current || !target)
        return RenameFailure{RenameError::InvalidName, {}};

    const QByteArray folder = folderOf(*target);
    const bool refusedBefore = foldersWithoutNoReplace().contains(folder);
    if (!refusedBefore &&
        renameat2(AT_FDCWD, current->constData(), AT_FDCWD, target->constData(), RENAME_NOREPLACE) == 0)
        return RenameResult::success();
    const int renameError = refusedBefore ? EINVAL : errno;
    // EINVAL is also how some file systems (and ENOSYS how old kernels) say
    // they do not know the no-replace flag.
    if (renameError != EINVAL && renameError != ENOSYS)
        return targetFailure(renameError, *current, *target);
    struct stat source {};
    if (RenameResult failure = lookUpSource(*current, *target, source); !failure.ok())
        return failure;
    // A folder moved into itself, the other common cause of the refusal, is
    // ruled out by now; a name some file system will not take may still put
    // its folder on the slower ways, which are just as safe.
    foldersWithoutNoReplace().insert(folder);
    return renameWithoutNoReplace(*current, *target, source);
}

RenameResult renameFileByLink(const QString &currentPath, const QString &newPath)
{
    LookedUpRename rename;
    if (RenameResult failure = encodeAndLookUp(currentPath, newPath, rename); !failure.ok())
        return failure;
    if (!S_ISREG(rename.source.st_mode))
        return noSafeRename(rename.target);
    int linkError = 0;
    return linkThenUnlink(rename.current, rename.target, linkError);
}

RenameResult renameByReservation(const QString &currentPath, const QString &newPath)
{
    LookedUpRename rename;
    if (RenameResult failure = encodeAndLookUp(currentPath, newPath, rename); !failure.ok())
        return failure;
    return renameOntoReservation(rename.current, rename.target, S_ISDIR(rename.source.st_mode));
}

RenameResult removeSecondLink(const QString &linkPath, const QString &keptPath)
{
    // The link to remove is looked up as a rename's current path is, the kept
    // name as its target.
    LookedUpRename pair;
    if (RenameResult failure = encodeAndLookUp(linkPath, keptPath, pair); !failure.ok())
        return failure;
    struct stat keeping {};
    if (lstat(pair.target.constData(), &keeping) != 0)
        return failureFromErrno(errno, pair.target);
    if (!S_ISREG(pair.source.st_mode) || pair.source.st_dev != keeping.st_dev || pair.source.st_ino != keeping.st_ino)
        return RenameFailure{RenameError::TargetExists, {}};
    // Two spellings of one name, on a file system that ignores letter case,
    // are one name: removing either would remove the file.
    if (!isListedUnderItsName(linkPath) || !isListedUnderItsName(keptPath))
        return RenameResult::success();
    if (unlink(pair.current.constData()) != 0)
        return failureFromErrno(errno, pair.current);
    return RenameResult::success();
}
