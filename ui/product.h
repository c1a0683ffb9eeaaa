#pragma once

#include "ui/product_version.h"

#include <QString>

// The product's names as the windows show them, with the version from the
// project's build description.

// Title of every message box and of the About window's caption: "QMRT".
inline QString applicationTitle() { return QStringLiteral("QMRT"); }

// The main window's caption: "QMRT1.0".
inline QString mainWindowTitle() { return applicationTitle() + QLatin1String(productVersion); }

// The product's name in the main frame and the About window: "Tarnwick".
inline QString productName() { return QStringLiteral("Tarnwick"); }

// The About window's title line: "Tarnwick1.0".
inline QString productNameWithVersion() { return productName() + QLatin1String(productVersion); }
