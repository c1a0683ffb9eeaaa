#include "sheet/libreoffice/office_launch.h"
#include "tests/common/run_widget_tests.h"

// Tests that start offices ready the process first, before QApplication or a
// background office start brings other threads.
int main(int argc, char **argv)
{
    prepareProcessForLibreOffice();
    return runWidgetTests(argc, argv);
}
