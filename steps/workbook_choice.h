#pragma once

#include <QString>

// Step 2's choice of workbook: an existing one in any format the office
// reads, or a new one named by the user in one of the three formats the
// table can be kept in.

// The file dialog's filters in Qt's syntax, separated by ";;": .xls first
// (preselected), then .xlsx, .ods, and all three together.
QString workbookFileFilters();

// The workbook path steps 2 and 3 use for a name the user chose or typed:
// the name itself when a file or link of that name exists. A new name loses
// the spaces typed after it, and keeps its ending when it ends in .xls,
// .xlsx or .ods (in any letter case); any other gets ".xls" added, so that a
// new workbook gets a format. Empty for empty. Cannot fail.
QString workbookPathFor(const QString &chosen);
