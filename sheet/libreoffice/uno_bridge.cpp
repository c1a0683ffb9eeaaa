#include "sheet/libreoffice/uno_bridge.h"

#include "sheet/libreoffice/office_runtime.h"
#include "sheet/libreoffice/uno_names.h"

#include <QFileInfo>

#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>

#include <mutex>

namespace {

constexpr qint64 sheetRows = 1048576;
constexpr qint64 sheetColumns = 16384;

} // namespace

OUString toOUString(const QString &text)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), text.size());
}

QString toQString(const OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

OUString fileUrl(const QString &path)
{
    OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(toOUString(path), url) != osl::FileBase::E_None)
        return {};
    return url;
}

QString localPathOf(const OUString &url)
{
    OUString path;
    if (!url.startsWithIgnoreAsciiCase("file:") || osl::FileBase::getSystemPathFromFileURL(url, path) != osl::FileBase::E_None)
        return {};
    return toQString(path);
}

beans::PropertyValue property(const char *name, const Any &value)
{
    beans::PropertyValue result;
    result.Name = OUString::createFromAscii(name);
    result.Value = value;
    return result;
}

Sequence<beans::PropertyValue> propertyList(std::initializer_list<beans::PropertyValue> items)
{
    return Sequence<beans::PropertyValue>(items.begin(), static_cast<sal_Int32>(items.size()));
}

SheetResult<Reference<uno::XComponentContext>> localContext()
{
    static std::once_flag once;
    static Reference<uno::XComponentContext> context;
    static SheetFailure failure;
    std::call_once(once, [] {
        const QString fundamentals = fundamentalsFile();
        if (!QFileInfo::exists(fundamentals)) {
            failure = SheetFailure(SheetFailureKind::RuntimeMissing).withNames({fundamentals});
            return;
        }
        // Already done at start unless a program forgot; then it is done here,
        // late, on whichever thread connects first.
        prepareProcessForLibreOffice();
        try {
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const uno::Exception &error) {
            failure = SheetFailure(SheetFailureKind::RuntimeWontStart).withDetail(toQString(error.Message));
        }
    });
    if (!context.is())
        return SheetResult<Reference<uno::XComponentContext>>::failure(failure);
    return SheetResult<Reference<uno::XComponentContext>>::success(context);
}

sal_Int32 rowIndex(qint64 row)
{
    if (row < 1 || row > sheetRows)
        throw CallFailure{SheetFailure(SheetFailureKind::RowOutsideSheet).withNumbers({row, sheetRows})};
    return static_cast<sal_Int32>(row - 1);
}

sal_Int32 columnIndex(qint64 column)
{
    if (column < 1 || column > sheetColumns)
        throw CallFailure{SheetFailure(SheetFailureKind::ColumnOutsideSheet).withNumbers({column, sheetColumns})};
    return static_cast<sal_Int32>(column - 1);
}

table::CellRangeAddress rangeAddress(const CellRect &rect)
{
    if (rect.bottom < rect.top || rect.right < rect.left)
        throw CallFailure{{SheetFailureKind::EmptyRange}};
    table::CellRangeAddress address;
    address.Sheet = 0;
    address.StartColumn = columnIndex(rect.left);
    address.StartRow = rowIndex(rect.top);
    address.EndColumn = columnIndex(rect.right);
    address.EndRow = rowIndex(rect.bottom);
    return address;
}
