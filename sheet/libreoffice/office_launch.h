#pragma once

#include "sheet/libreoffice/calc_office.h"
#include "sheet/libreoffice/office_runtime.h"

#include <QString>

#include <chrono>
#include <memory>

// Starting a LibreOffice Calc of our own; what the process needs first comes
// with it (office_runtime.h).

// Starts an office and connects to it, waiting at most `startLimit` for it to
// answer. Its failure says what went wrong ("soffice" missing from
// the search path, the office stopped, or it did not answer in time) and no
// process of ours is left running.
SheetResult<std::unique_ptr<CalcOffice>> startLibreOfficeCalc(CalcWindow window,
                                                              std::chrono::seconds startLimit = std::chrono::seconds(90));

// Start offices as startLibreOfficeCalc does, for the steps: step 2 writes
// in one, step 3 reads in the other.
StartSpreadsheetWriter libreOfficeWriterStarter(CalcWindow window);
StartSpreadsheetReader libreOfficeReaderStarter(CalcWindow window);

// Every office this program starts listens on a pipe whose name begins with
// this text: "quillmere-" and the program's process id, then "-".
QString officePipePrefix(qint64 processId);
