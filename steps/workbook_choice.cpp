#include "steps/workbook_choice.h"

#include <QFileInfo>
#include <QStringList>

QString workbookFileFilters()
{
    return QStringList{QStringLiteral("xls文件 (*.xls)"), QStringLiteral("Excel 工作簿 (*.xlsx)"),
                       QStringLiteral("OpenDocument 电子表格 (*.ods)"),
                       QStringLiteral("所有电子表格 (*.xls *.xlsx *.ods)")}
        .join(QStringLiteral(";;"));
}

QString workbookPathFor(const QString &chosen)
{
    if (chosen.isEmpty())
        return chosen;
    const QFileInfo file(chosen);
    const QString extension = file.suffix().toLower();
    const bool namesAFormat = extension == QLatin1String("xls") || extension == QLatin1String("xlsx") ||
                              extension == QLatin1String("ods");
    if (namesAFormat || file.exists() || file.isSymLink())
        return chosen;
    return chosen + QStringLiteral(".xls");
}
