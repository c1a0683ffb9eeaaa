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

namespace {

// `path` itself when something stands there or it names one of the table's
// formats, and otherwise with ".xls" added.
QString withFormat(const QString &path)
{
    const QFileInfo file(path);
    const QString extension = file.suffix().toLower();
    const bool namesAFormat = extension == QLatin1String("xls") || extension == QLatin1String("xlsx") ||
                              extension == QLatin1String("ods");
    if (namesAFormat || file.exists() || file.isSymLink())
        return path;
    return path + QStringLiteral(".xls");
}

} // namespace

QString workbookPathFor(const QString &chosen)
{
    const QFileInfo typed(chosen);
    if (chosen.isEmpty() || typed.exists() || typed.isSymLink())
        return chosen;
    // Spaces typed after a new name are not part of it: "trail.xls " names
    // an .xls workbook, not one called "trail.xls .xls". A name of nothing
    // but spaces is left as typed.
    qsizetype end = chosen.size();
    while (end > 0 && chosen[end - 1].isSpace())
        --end;
    const bool nameRemains = typed.fileName().size() > chosen.size() - end;
    return withFormat(nameRemains ? chosen.left(end) : chosen);
}
