#pragma once

#include <QString>

// The office's UNO runtime as this process finds it: where its bootstrap
// file lies, and what the process must do before talking to an office.

// The office runtime's bootstrap file in the installed office's program
// folder; it is missing when LibreOffice is not installed.
QString fundamentalsFile();

// Readies this process for talking to LibreOffice: the office's UNO runtime
// finds its registries through the environment, and a write to an office
// that has died fails that call instead of ending the program with SIGPIPE.
// Call it at start, on the main thread, before any other thread runs or any
// office starts: setting the environment while another thread reads it is
// undefined. Does nothing when LibreOffice is not installed (starting an
// office then says so), and nothing on later calls. When it was never called,
// the first connection to an office does it, on that connection's thread.
void prepareProcessForLibreOffice();
