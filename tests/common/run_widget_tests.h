#pragma once

// Runs every GoogleTest test of the program against a real QApplication and
// returns the run's exit code; without a display the tests use the offscreen
// platform, so CI needs no X server for the widget tests.
int runWidgetTests(int &argc, char **argv);
