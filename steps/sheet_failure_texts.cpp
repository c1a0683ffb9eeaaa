#include "steps/sheet_failure_texts.h"

namespace {

// The failure's cause in words; empty when it has none.
QString causeText(const SheetFailure &failure)
{
    return failure.cause ? sheetFailureText(*failure.cause) : QString();
}

} // namespace

QString sheetFailureText(const SheetFailure &failure)
{
    const QStringList &names = failure.names;
    const auto number = [&failure](qsizetype i) { return failure.numbers.value(i); };
    using Kind = SheetFailureKind;
    switch (failure.kind) {
    case Kind::Unknown: break;
    case Kind::OfficeNotInstalled: return QStringLiteral("没有安装 LibreOffice：找不到程序“soffice”");
    case Kind::RuntimeMissing: return QStringLiteral("没有安装 LibreOffice 运行环境（缺少 %1）").arg(names.value(0));
    case Kind::RuntimeWontStart: return QStringLiteral("UNO 运行环境无法启动：%1").arg(failure.detail);
    case Kind::ProgramWontStart: return QStringLiteral("无法启动 %1：%2").arg(names.value(0), failure.detail);
    case Kind::NoPrivateProfile:
        return QStringLiteral("无法在 %1 中建立 LibreOffice 的临时配置").arg(names.value(0));
    case Kind::StoppedWhileStarting: return QStringLiteral("LibreOffice 在启动时停止了（退出状态 %1）").arg(number(0));
    case Kind::SilentAfterStart: return QStringLiteral("LibreOffice 启动后 %1 秒内没有响应").arg(number(0));
    case Kind::CannotConnect: return QStringLiteral("无法连接 LibreOffice：%1").arg(failure.detail);
    case Kind::Refused:
        return failure.detail.isEmpty() ? QStringLiteral("LibreOffice 拒绝了这个操作")
                                        : QStringLiteral("LibreOffice 拒绝了这个操作：") + failure.detail;
    case Kind::Silent: return QStringLiteral("LibreOffice 在 %1 秒内没有响应").arg(number(0));
    case Kind::ConnectionLost: return QStringLiteral("与 LibreOffice 的连接断开了（LibreOffice 可能已停止）");
    case Kind::Quit: return QStringLiteral("LibreOffice 已退出");
    case Kind::VisibleOfficeKept: return QStringLiteral("可见的 LibreOffice 属于用户，保持运行");
    case Kind::HiddenHasNoWindow: return QStringLiteral("隐藏的 LibreOffice 没有可显示的窗口");

    case Kind::CannotOpen: return QStringLiteral("无法打开 %1：%2").arg(names.value(0), causeText(failure));
    case Kind::CannotSaveFrom: return QStringLiteral("%1: %2").arg(names.value(0), causeText(failure));
    case Kind::IsAFolder: return QStringLiteral("%1 是文件夹，不是工作簿").arg(names.value(0));
    case Kind::FileMissing: return QStringLiteral("文件不存在");
    case Kind::Locked:
        return QStringLiteral("它已被锁定，%1 于 %2 打开了它；如果没有人在用它，请删除锁定文件 %3")
            .arg(names.value(0), names.value(1), names.value(2));
    case Kind::NotASpreadsheet: return QStringLiteral("这个文件不是电子表格");
    case Kind::OpenButNotAsSpreadsheet: return QStringLiteral("它已在 LibreOffice 中打开，但不是作为电子表格");
    case Kind::OfficeCannotRead: return QStringLiteral("LibreOffice 无法读取这个文件");
    case Kind::OnlyReadOnly: return QStringLiteral("它只能以只读方式打开（可能被其他用户锁定）");
    case Kind::OpeningGivenUp: {
        const QString notOpened = QStringLiteral("LibreOffice 没有打开这个文件（打开时被取消或失败）");
        return failure.cause ? notOpened + QStringLiteral("；") + causeText(failure) : notOpened;
    }
    case Kind::NotShownInTime:
        return QStringLiteral("LibreOffice 在 %1 秒内没有打开这个文件，不再等待；LibreOffice 仍在运行").arg(number(0));
    case Kind::AlreadyExists: return QStringLiteral("%1 已存在，不会被新工作簿替换").arg(names.value(0));
    case Kind::FolderMissing: return QStringLiteral("文件夹 %1 不存在").arg(names.value(0));
    case Kind::VisibleWorkbookKept: return QStringLiteral("可见的 LibreOffice 中的工作簿属于用户，保持打开");
    case Kind::NoWorkbookOpen: return QStringLiteral("没有打开的工作簿");
    case Kind::NoSheetView: return QStringLiteral("工作簿没有工作表视图");
    case Kind::SelectionNotACell: return QStringLiteral("选中的不是一个单元格");
    case Kind::HiddenFirstSheetNotShown:
        return QStringLiteral("第一张工作表被隐藏，LibreOffice 无法显示它（工作簿结构可能受保护）");

    case Kind::RowOutsideSheet: return QStringLiteral("第 %1 行不在工作表内（1 到 %2）").arg(number(0)).arg(number(1));
    case Kind::ColumnOutsideSheet: return QStringLiteral("第 %1 列不在工作表内（1 到 %2）").arg(number(0)).arg(number(1));
    case Kind::EmptyRange: return QStringLiteral("单元格区域是空的");
    case Kind::CellHoldsError:
        return QStringLiteral("单元格（第 %1 行，第 %2 列）的值是错误值").arg(number(0)).arg(number(1));
    case Kind::ColourOutsidePalette: return QStringLiteral("颜色序号 %1 不在调色板中（1 到 56）").arg(number(0));
    case Kind::NoMacroModule: return QStringLiteral("第一个工作表没有宏模块");
    case Kind::MacrosNotAllowed: return QStringLiteral("宏安全设置不允许运行这个工作簿的宏");
    case Kind::MacroMissing: return QStringLiteral("第一个工作表没有宏 %1").arg(names.value(0));

    case Kind::NoTemporaryFolder: return QStringLiteral("无法在 %1 中建立临时文件夹").arg(names.value(0));
    case Kind::TemporaryFolderFull:
        return QStringLiteral("临时文件夹 %1 已满，工作表的文本副本没有写完（%2）").arg(names.value(0), causeText(failure));
    case Kind::WorkbookGone: return QStringLiteral("工作簿已不存在：%1（%2）").arg(names.value(0), causeText(failure));
    case Kind::TextCopyNotWritten:
        return failure.cause ? QStringLiteral("LibreOffice 没有写出工作表的文本副本：%1").arg(causeText(failure))
                             : QStringLiteral("LibreOffice 没有写出工作表的文本副本");
    case Kind::TextCopyUnreadable: return QStringLiteral("无法读取工作表的文本副本：%1").arg(failure.detail);
    case Kind::TextCopyIncomplete: return QStringLiteral("工作表的文本副本不完整");
    case Kind::TextCopyBrokenOff: return QStringLiteral("工作表的文本副本不完整：在第 %1 行中断").arg(number(0));
    case Kind::TextCopyShort:
        return QStringLiteral("工作表的文本副本不完整：只到第 %1 行，表格有 %2 行").arg(number(0)).arg(number(1));
    }
    return QStringLiteral("未知的错误");
}
