#include "rename/file_system_kind.h"

namespace {

// FUSE drivers by the subtype they mount with, and block devices by the type
// libblkid and udev give them.
FileSystemKind kindOfFuseDriverOrBlockType(QStringView name)
{
    if (name == u"vfat" || name == u"msdos" || name == u"fat" || name == u"fusefat")
        return FileSystemKind::Fat;
    if (name == u"exfat" || name == u"exfat-fuse")
        return FileSystemKind::ExFat;
    if (name == u"ntfs" || name == u"ntfs3" || name == u"ntfs-3g" || name == u"lowntfs-3g")
        return FileSystemKind::Ntfs;
    if (name == u"smbnetfs")
        return FileSystemKind::SmbShare;
    return FileSystemKind::Other;
}

} // namespace

FileSystemKind fileSystemKindFrom(quint32 statfsMagic, QStringView mountType, QStringView blockFileSystemType)
{
    switch (statfsMagic) {
    case 0x4d44: // vfat and msdos
        return FileSystemKind::Fat;
    case 0x2011bab0:
        return FileSystemKind::ExFat;
    case 0x7366746e: // ntfs3
    case 0x5346544e: // the read-only ntfs of older kernels
        return FileSystemKind::Ntfs;
    case 0xff534d42: // cifs
    case 0xfe534d42: // smb2 and smb3 of newer kernels
    case 0x517b:     // smbfs
        return FileSystemKind::SmbShare;
    case fuseFileSystemMagic:
        break;
    default:
        return FileSystemKind::Other;
    }
    // "fuse.<driver>" or "fuseblk.<driver>" when the driver names itself;
    // exfat-fuse and ntfs-3g mount plain "fuseblk" and leave only the device.
    const qsizetype dot = mountType.indexOf(u'.');
    if (dot >= 0)
        return kindOfFuseDriverOrBlockType(mountType.mid(dot + 1));
    if (mountType == u"fuseblk")
        return kindOfFuseDriverOrBlockType(blockFileSystemType);
    return FileSystemKind::Other;
}
