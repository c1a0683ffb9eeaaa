#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon: a row of upright coloured book spines, 32×32 and 16×16.
QIcon quillmereIcon();

// The 32×32 hand pointing right that shows the way to step 1.
QPixmap pointingHandPixmap();
