#include "steps/sheet_failure_texts.h"

#include <gtest/gtest.h>

namespace {

using Kind = SheetFailureKind;

struct WordedCase {
    SheetFailure failure;
    QString text;
};

// Each kind as the user has always read it.
TEST(SheetFailureTexts, EachKindReadsAsBefore)
{
    const QList<WordedCase> cases{
        {{Kind::Unknown}, "未知的错误"},
        {{Kind::OfficeNotInstalled}, "没有安装 LibreOffice：找不到程序“soffice”"},
        {SheetFailure(Kind::RuntimeMissing).withNames({"/usr/lib/libreoffice/program/fundamentalrc"}),
         "没有安装 LibreOffice 运行环境（缺少 /usr/lib/libreoffice/program/fundamentalrc）"},
        {SheetFailure(Kind::RuntimeWontStart).withDetail("no types"), "UNO 运行环境无法启动：no types"},
        {SheetFailure(Kind::ProgramWontStart).withDetail("No such file or directory").withNames({"/usr/bin/soffice"}),
         "无法启动 /usr/bin/soffice：No such file or directory"},
        {SheetFailure(Kind::NoPrivateProfile).withNames({"/tmp"}), "无法在 /tmp 中建立 LibreOffice 的临时配置"},
        {SheetFailure(Kind::StoppedWhileStarting).withNumbers({81}), "LibreOffice 在启动时停止了（退出状态 81）"},
        {SheetFailure(Kind::SilentAfterStart).withNumbers({90}), "LibreOffice 启动后 90 秒内没有响应"},
        {SheetFailure(Kind::CannotConnect).withDetail("Connector : couldn't connect"),
         "无法连接 LibreOffice：Connector : couldn't connect"},
        {{Kind::Refused}, "LibreOffice 拒绝了这个操作"},
        {SheetFailure(Kind::Refused).withDetail("SfxBaseModel::impl_store failed"),
         "LibreOffice 拒绝了这个操作：SfxBaseModel::impl_store failed"},
        {SheetFailure(Kind::Silent).withNumbers({30}), "LibreOffice 在 30 秒内没有响应"},
        {{Kind::ConnectionLost}, "与 LibreOffice 的连接断开了（LibreOffice 可能已停止）"},
        {{Kind::Quit}, "LibreOffice 已退出"},
        {{Kind::VisibleOfficeKept}, "可见的 LibreOffice 属于用户，保持运行"},
        {{Kind::HiddenHasNoWindow}, "隐藏的 LibreOffice 没有可显示的窗口"},
        {SheetFailure(Kind::IsAFolder).withNames({"/home/a/表.xls"}), "/home/a/表.xls 是文件夹，不是工作簿"},
        {{Kind::FileMissing}, "文件不存在"},
        {SheetFailure(Kind::Locked).withNames({"王", "01.02.2024 10:00", "/d/.~lock.t.xls#"}),
         "它已被锁定，王 于 01.02.2024 10:00 打开了它；如果没有人在用它，请删除锁定文件 /d/.~lock.t.xls#"},
        {{Kind::NotASpreadsheet}, "这个文件不是电子表格"},
        {{Kind::OpenButNotAsSpreadsheet}, "它已在 LibreOffice 中打开，但不是作为电子表格"},
        {{Kind::OfficeCannotRead}, "LibreOffice 无法读取这个文件"},
        {{Kind::OnlyReadOnly}, "它只能以只读方式打开（可能被其他用户锁定）"},
        {{Kind::OpeningGivenUp}, "LibreOffice 没有打开这个文件（打开时被取消或失败）"},
        {SheetFailure(Kind::NotShownInTime).withNumbers({60}),
         "LibreOffice 在 60 秒内没有打开这个文件，不再等待；LibreOffice 仍在运行"},
        {SheetFailure(Kind::AlreadyExists).withNames({"/d/t.xls"}), "/d/t.xls 已存在，不会被新工作簿替换"},
        {SheetFailure(Kind::FolderMissing).withNames({"/d/missing"}), "文件夹 /d/missing 不存在"},
        {{Kind::VisibleWorkbookKept}, "可见的 LibreOffice 中的工作簿属于用户，保持打开"},
        {{Kind::NoWorkbookOpen}, "没有打开的工作簿"},
        {{Kind::NoSheetView}, "工作簿没有工作表视图"},
        {SheetFailure(Kind::RowOutsideSheet).withNumbers({0, 1048576}), "第 0 行不在工作表内（1 到 1048576）"},
        {SheetFailure(Kind::ColumnOutsideSheet).withNumbers({16385, 16384}), "第 16385 列不在工作表内（1 到 16384）"},
        {{Kind::EmptyRange}, "单元格区域是空的"},
        {SheetFailure(Kind::CellHoldsError).withNumbers({3, 4}), "单元格（第 3 行，第 4 列）的值是错误值"},
        {SheetFailure(Kind::ColourOutsidePalette).withNumbers({57}), "颜色序号 57 不在调色板中（1 到 56）"},
        {{Kind::NoMacroModule}, "第一个工作表没有宏模块"},
        {{Kind::MacrosNotAllowed}, "宏安全设置不允许运行这个工作簿的宏"},
        {SheetFailure(Kind::MacroMissing).withNames({"ClearRow"}), "第一个工作表没有宏 ClearRow"},
        {SheetFailure(Kind::NoTemporaryFolder).withNames({"/tmp"}), "无法在 /tmp 中建立临时文件夹"},
        {{Kind::TextCopyNotWritten}, "LibreOffice 没有写出工作表的文本副本"},
        {SheetFailure(Kind::TextCopyUnreadable).withDetail("Permission denied"), "无法读取工作表的文本副本：Permission denied"},
        {{Kind::TextCopyIncomplete}, "工作表的文本副本不完整"},
        {SheetFailure(Kind::TextCopyBrokenOff).withNumbers({2}), "工作表的文本副本不完整：在第 2 行中断"},
        {SheetFailure(Kind::TextCopyShort).withNumbers({1, 3}), "工作表的文本副本不完整：只到第 1 行，表格有 3 行"},
    };
    for (const WordedCase &worded : cases)
        EXPECT_EQ(sheetFailureText(worded.failure).toStdString(), worded.text.toStdString());
}

// A failure that came from another says both, ours first; paths and texts
// holding "%1" or "%2" stay as they are, never taken for places to fill.
TEST(SheetFailureTexts, ACauseFollowsWhatItCausedAsBefore)
{
    const SheetFailure silent = SheetFailure(Kind::Silent).withNumbers({30});
    const SheetFailure givenUp = SheetFailure(Kind::OpeningGivenUp).withCause(silent);
    EXPECT_EQ(sheetFailureText(SheetFailure(Kind::CannotOpen).withNames({"/d/%2 表.xls"}).withCause(givenUp)),
              "无法打开 /d/%2 表.xls：LibreOffice 没有打开这个文件（打开时被取消或失败）；LibreOffice 在 30 秒内没有响应");
    EXPECT_EQ(sheetFailureText(SheetFailure(Kind::CannotSaveFrom).withNames({"/d/t.xls"}).withCause({Kind::OnlyReadOnly})),
              "/d/t.xls: 它只能以只读方式打开（可能被其他用户锁定）");

    const SheetFailure refused = SheetFailure(Kind::Refused).withDetail("write error %1");
    const SheetFailure notWritten = SheetFailure(Kind::TextCopyNotWritten).withCause(refused);
    EXPECT_EQ(sheetFailureText(notWritten), "LibreOffice 没有写出工作表的文本副本：LibreOffice 拒绝了这个操作：write error %1");
    EXPECT_EQ(sheetFailureText(SheetFailure(Kind::TemporaryFolderFull).withNames({"/tmp"}).withCause(notWritten)),
              "临时文件夹 /tmp 已满，工作表的文本副本没有写完（LibreOffice 没有写出工作表的文本副本：LibreOffice "
              "拒绝了这个操作：write error %1）");
    EXPECT_EQ(sheetFailureText(SheetFailure(Kind::WorkbookGone).withNames({"/d/%1.xls"}).withCause(silent)),
              "工作簿已不存在：/d/%1.xls（LibreOffice 在 30 秒内没有响应）");
}

// A kind added without words of its own would reach the user as an unknown
// error.
TEST(SheetFailureTexts, EveryKindHasWordsOfItsOwn)
{
    const QString unknown = sheetFailureText({Kind::Unknown});
    for (int kind = int(Kind::Unknown) + 1; kind <= int(Kind::TextCopyShort); ++kind) {
        const QString text = sheetFailureText(SheetFailure(Kind(kind)).withNames({"/p", "/q", "/r"}).withNumbers({1, 2}));
        EXPECT_FALSE(text.isEmpty()) << kind;
        EXPECT_NE(text, unknown) << kind;
    }
}

} // namespace
