#pragma once

#include <QTranslator>

#include <memory>

// Qt's own texts (the file dialogs' labels, the message boxes' buttons) in the
// language of the default locale, from Qt's qtbase translations in Qt's
// translations folder (Debian: qt6-translations-l10n). Returns null when Qt
// has none for that language (English, or the package not installed): Qt's
// texts then stay English, which is no failure. The caller installs the
// translator and keeps it for as long as the application runs.
std::unique_ptr<QTranslator> loadQtTranslations();
