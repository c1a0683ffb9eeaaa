#include "ui/qt_translations.h"

#include <QLibraryInfo>
#include <QLocale>

std::unique_ptr<QTranslator> loadQtTranslations()
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}
