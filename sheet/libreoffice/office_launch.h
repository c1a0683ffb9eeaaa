#pragma once

#include "sheet/libreoffice/calc_office.h"

#include <QString>

#include <chrono>
#include <memory>

// Starting a LibreOffice Calc of our own, and what the process needs first.

// Readies this process for talking to LibreOffice: the office's UNO runtime
// finds its registries through the environment, and a write to an office
// that has died fails that call instead of ending the program with SIGPIPE.
// Call it at start, on the main thread, before any other thread runs or any
// office starts: setting the environment while another thread reads it is
// undefined. Does nothing when LibreOffice is not installed (starting an
// office then says so), and nothing on later calls. When it was never called,
// the first connection to an office does it, on that connection's thread.
void prepareProcessForLibreOffice();

// Starts an office and connects to it, waiting at most `startLimit` for it to
// answer. On failure the text names what went wrong ("soffice" missing from
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
