#pragma once

#include <QString>
#include <QTemporaryDir>

enum class WindowsVolumeFormat { ExFat, Fat32, Ntfs };

// A small volume made for Windows, as a USB stick or an external drive is
// seen on Linux: an image file formatted anew, on a loop device, mounted with
// the FUSE driver a desktop would use (exfat-fuse, fusefat, ntfs-3g).
// Unmounted and detached with the object; whatever is made below
// mountPoint() must be gone (or its owner destroyed) before the object is.
class WindowsVolume {
public:
    explicit WindowsVolume(WindowsVolumeFormat format);
    ~WindowsVolume();
    WindowsVolume(const WindowsVolume &) = delete;
    WindowsVolume &operator=(const WindowsVolume &) = delete;

    bool isMounted() const { return mounted; }
    // Why the volume could not be made or mounted, for the test to skip with.
    QString whyNotMounted() const { return problem; }
    QString mountPoint() const { return workspace.filePath(QStringLiteral("volume")); }

    // Unmounts the volume and has its format's checker look it over without
    // repairing anything; what the checker found wrong, or empty when the
    // volume is sound. The volume stays unmounted.
    QString unmountAndCheck();

private:
    bool attachAndMount(WindowsVolumeFormat format);
    bool unmount();

    QTemporaryDir workspace;
    QString loopDevice;
    WindowsVolumeFormat volumeFormat;
    bool mounted = false;
    QString problem;
};
