#include "ui/app_icon.h"

#include "ui/art/books16.xpm"
#include "ui/art/books32.xpm"
#include "ui/art/hand32.xpm"

QIcon quillmereIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap(books32_xpm));
    icon.addPixmap(QPixmap(books16_xpm));
    return icon;
}

QPixmap pointingHandPixmap()
{
    return QPixmap(hand32_xpm);
}
