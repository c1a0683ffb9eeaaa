#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct QtTexts {
    QString ok;
    QString yes;
    QString fileNameLabel;
};

// What Qt shows the user when the program starts under `localeName`.
QtTexts qtTextsUnder(const char *localeName)
{
    QLocale::setDefault(QLocale(QString::fromLatin1(localeName)));
    const std::unique_ptr<QTranslator> translations = loadQtTranslations();
    if (translations)
        QCoreApplication::installTranslator(translations.get());

    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Ok | QMessageBox::Yes);
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QLabel *fileNameLabel = dialog.findChild<QLabel *>(QStringLiteral("fileNameLabel"));
    return {box.button(QMessageBox::Ok)->text(), box.button(QMessageBox::Yes)->text(),
            fileNameLabel ? fileNameLabel->text() : QStringLiteral("(no label)")};
}

class QtTranslations : public ::testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(QtTranslations, ChineseLocaleGetsChineseButtonsAndDialogs)
{
    ASSERT_TRUE(QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm")))
        << "qt6-translations-l10n is not installed (scripts/setup-debian.sh installs it)";
    const QtTexts texts = qtTextsUnder("zh_CN");
    EXPECT_EQ(texts.ok, QStringLiteral("确定"));
    EXPECT_EQ(texts.yes, QStringLiteral("是(&Y)"));
    EXPECT_EQ(texts.fileNameLabel, QStringLiteral("文件名称(&N)："));
}

TEST_F(QtTranslations, CAndEnglishLocalesKeepQtsEnglish)
{
    for (const char *localeName : {"C", "en_US"}) {
        const QtTexts texts = qtTextsUnder(localeName);
        EXPECT_EQ(texts.ok, QStringLiteral("OK")) << localeName;
        EXPECT_EQ(texts.yes, QStringLiteral("&Yes")) << localeName;
        EXPECT_EQ(texts.fileNameLabel, QStringLiteral("File &name:")) << localeName;
    }
}

} // namespace
