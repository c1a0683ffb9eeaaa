#include "tests/common/run_widget_tests.h"

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
