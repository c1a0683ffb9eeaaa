#include "rename/file_system_kind.h"

#include "tests/common/fuse_mount.h"
#include "tests/common/windows_volume.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Kernel file systems this machine may lack the modules for are told by the
// numbers statfs gives; FUSE mounts by their type or their device's.
TEST(FileSystemKind, FromWhatTheSystemSaysOfTheMount)
{
    using enum FileSystemKind;
    struct MountCase {
        quint32 magic;
        const char16_t *mountType;
        const char16_t *blockType;
        FileSystemKind expected;
    };
    const MountCase cases[] = {
        {0x4d44, u"vfat", u"", Fat},
        {0x2011bab0, u"exfat", u"", ExFat},
        {0x7366746e, u"ntfs3", u"", Ntfs},
        {0x5346544e, u"ntfs", u"", Ntfs},
        {0xff534d42, u"cifs", u"", SmbShare},
        {0xfe534d42, u"smb3", u"", SmbShare},
        {0xef53, u"ext4", u"", Other},
        {0x01021994, u"tmpfs", u"", Other},
        {0x9123683e, u"btrfs", u"", Other},
        {0x6969, u"nfs4", u"", Other},
        // The type of a kernel mount cannot make a Linux file system Windows'.
        {0xef53, u"fuseblk", u"ntfs", Other},
        {fuseFileSystemMagic, u"fuse.fusefat", u"", Fat},
        {fuseFileSystemMagic, u"fuseblk.exfat", u"", ExFat},
        {fuseFileSystemMagic, u"fuse.ntfs-3g", u"", Ntfs},
        {fuseFileSystemMagic, u"fuse.lowntfs-3g", u"", Ntfs},
        {fuseFileSystemMagic, u"fuse.smbnetfs", u"", SmbShare},
        {fuseFileSystemMagic, u"fuseblk", u"exfat", ExFat},
        {fuseFileSystemMagic, u"fuseblk", u"ntfs", Ntfs},
        {fuseFileSystemMagic, u"fuseblk", u"vfat", Fat},
        {fuseFileSystemMagic, u"fuseblk", u"", Other},
        {fuseFileSystemMagic, u"fuseblk", u"ext4", Other},
        // A named driver outranks the device: a Linux driver over NTFS
        // bytes is not asked.
        {fuseFileSystemMagic, u"fuse.sshfs", u"ntfs", Other},
        {fuseFileSystemMagic, u"fuse", u"", Other},
        {fuseFileSystemMagic, u"fuse.gvfsd-fuse", u"", Other},
    };
    for (const MountCase &mount : cases)
        EXPECT_EQ(fileSystemKindFrom(mount.magic, mount.mountType, mount.blockType), mount.expected)
            << QString::fromUtf16(mount.mountType).toStdString() << " " << std::hex << mount.magic;
}

struct VolumeCase {
    WindowsVolumeFormat format;
    FileSystemKind kind;
    const char *name;
    friend void PrintTo(const VolumeCase &volume, std::ostream *out) { *out << volume.name; }
};

class FileSystemKindOnVolume : public testing::TestWithParam<VolumeCase> {};

TEST_P(FileSystemKindOnVolume, IsRecognisedOnTheMountedVolume)
{
    const WindowsVolume volume(GetParam().format);
    SKIP_UNLESS_MOUNTED(volume);
    FileSystemKinds kinds;
    EXPECT_EQ(kinds.of(volume.mountPoint()), GetParam().kind);
    QTemporaryDir below(volume.mountPoint() + QStringLiteral("/folder-XXXXXX"));
    ASSERT_TRUE(below.isValid());
    EXPECT_EQ(kinds.of(below.path()), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Formats, FileSystemKindOnVolume,
                         testing::Values(VolumeCase{WindowsVolumeFormat::ExFat, FileSystemKind::ExFat, "ExFat"},
                                         VolumeCase{WindowsVolumeFormat::Fat32, FileSystemKind::Fat, "Fat32"},
                                         VolumeCase{WindowsVolumeFormat::Ntfs, FileSystemKind::Ntfs, "Ntfs"}),
                         [](const auto &volume) { return std::string(volume.param.name); });

TEST(FileSystemKind, LinuxFoldersAndOtherFuseMountsAreNotWindows)
{
    const QTemporaryDir onDisk(QStringLiteral("/var/tmp/kind-XXXXXX"));
    const QTemporaryDir inMemory(QStringLiteral("/dev/shm/kind-XXXXXX"));
    ASSERT_TRUE(onDisk.isValid() && inMemory.isValid());
    FileSystemKinds kinds;
    EXPECT_EQ(kinds.of(onDisk.path()), FileSystemKind::Other);
    EXPECT_EQ(kinds.of(inMemory.path()), FileSystemKind::Other);
    EXPECT_EQ(kinds.of(onDisk.path() + QStringLiteral("/missing")), std::nullopt);

    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    EXPECT_EQ(kinds.of(share.mountPoint()), FileSystemKind::Other);
}

} // namespace
