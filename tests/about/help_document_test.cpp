#include <gtest/gtest.h>

#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace {

const QString helpDocument = QString::fromUtf8(QUILLMERE_HELP_DOCUMENT);

QByteArray runChmls(const QStringList &arguments)
{
    QProcess chmls;
    chmls.start(QStringLiteral(CHMLS_EXECUTABLE), arguments);
    if (!chmls.waitForFinished(30000) || chmls.exitStatus() != QProcess::NormalExit || chmls.exitCode() != 0)
        return {};
    return chmls.readAllStandardOutput();
}

// Viewers decode pages in the code page of the document's language, so a page
// that is not stored in GBK shows as garbage.
TEST(HelpDocument, HoldsEveryPageReadableInTheChineseCodePage)
{
    const QString listing = QString::fromUtf8(runChmls({"--no-page", "--name-only", "list", helpDocument}));
    const QStringList expected{"/index.html",    "/patterns.html", "/check.html",      "/rename.html",
                               "/undo.html",     "/problems.html", "/toc.hhc",         "/main-window.png"};
    for (const QString &name : expected)
        EXPECT_TRUE(listing.contains(name)) << name.toStdString() << " missing from:\n" << listing.toStdString();

    QTemporaryDir scratch;
    const QString extracted = scratch.filePath("problems.html");
    runChmls({"extract", helpDocument, "/problems.html", extracted});
    QFile page(extracted);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    QStringDecoder gbk("GBK");
    const QString text = gbk.decode(page.readAll());
    EXPECT_FALSE(gbk.hasError());
    EXPECT_TRUE(text.contains("charset=gb2312"));
    EXPECT_TRUE(text.contains(QStringLiteral("每个句子的首字母大写")));
}

} // namespace
