#include "steps/windows_name_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsNameTexts, EachRuleSaysWhatBreaksIt)
{
    const auto textFor = [](const QString &name, const QStringList &others = {}) {
        return windowsNameProblemText(windowsNameProblem(name, others));
    };
    EXPECT_EQ(textFor("k?.txt"), "Windows 不允许文件名中有字符 ?");
    EXPECT_EQ(textFor("line\nbreak"), "Windows 不允许文件名中有字符 U+000A");
    EXPECT_EQ(textFor("report."), "Windows 不允许文件名以点或空格结尾");
    EXPECT_EQ(textFor("con.txt"), "con 是 Windows 的保留名称");
    EXPECT_EQ(textFor(QString(300, u'名')), "新文件名太长：此文件系统最多接受 255 个 UTF-16 字符，新文件名有 300 个");
    EXPECT_EQ(textFor("x.txt", {"X.TXT"}), "与同一文件夹中的 X.TXT 只有大小写不同，Windows 无法区分");
    EXPECT_EQ(textFor("ok.txt"), "");

    EXPECT_EQ(refusedCharacterText(U'?'), "此文件系统不接受文件名中的字符 ?（U+003F）");
    EXPECT_EQ(refusedCharacterText(U'\x1f'), "此文件系统不接受文件名中的字符 U+001F");
    EXPECT_EQ(refusedCharacterText(U'😀'), "此文件系统不接受文件名中的字符 😀（U+1F600）");
}

} // namespace
