// Draws the program's icon into a hicolor icon tree, from the same book-spine
// pixel art as the window icon:  quillmere_make_icons OUTPUT_FOLDER
// writes OUTPUT_FOLDER/<n>x<n>/apps/quillmere.png for n = 16, 32, 48, 256.
// Exits non-zero, naming the file, when one cannot be written; files already
// written stay.
#include "ui/app_icon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QIcon icon = quillmereIcon();
    const QDir output(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 32, 48, 256}) {
        // 16 and 32 are drawn by hand; larger sizes repeat the 32-pixel art's
        // pixels, since smoothing would blur the spines.
        const QImage drawn = icon.pixmap(size <= 16 ? 16 : 32).toImage();
        const QImage image = drawn.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = output.filePath(folder + QStringLiteral("/quillmere.png"));
        if (!output.mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
