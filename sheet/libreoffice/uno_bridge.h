#pragma once

#include "sheet/sheet_cells.h"
#include "sheet/sheet_result.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <initializer_list>

// What every part of the Calc bridge shares: texts and property lists in the
// office's types, the bridge's own component context, and the port's cell
// addresses turned into the office's.

// A failure found by our own checks inside a guarded call.
struct CallFailure {
    SheetFailure why;
};

rtl::OUString toOUString(const QString &text);
QString toQString(const rtl::OUString &text);

// The office's URL of a local path, spelled as the office itself spells it.
rtl::OUString fileUrl(const QString &path);
// The local path a file URL of the office stands for, its escapes decoded;
// empty for a URL that names no local file (a new, unsaved document's).
QString localPathOf(const rtl::OUString &url);

css::beans::PropertyValue property(const char *name, const css::uno::Any &value);
css::uno::Sequence<css::beans::PropertyValue> propertyList(std::initializer_list<css::beans::PropertyValue> items);

// The bridge's own component context, made once per process: bootstrapping
// reads the office's type and service registries, and a second bootstrap
// would only repeat that. Fails with the reason when the office's runtime is
// missing or will not start; that failure stays for the life of the process.
// Readies the process first if prepareProcessForLibreOffice() was not called.
SheetResult<css::uno::Reference<css::uno::XComponentContext>> localContext();

// The office's 0-based index of a row or column counted from 1; throws a
// CallFailure for one outside the sheet.
sal_Int32 rowIndex(qint64 row);
sal_Int32 columnIndex(qint64 column);
// The office's address of `rect` on the first sheet; throws a CallFailure for
// an empty rectangle or one reaching outside the sheet.
css::table::CellRangeAddress rangeAddress(const CellRect &rect);
