#include "steps/standby_office.h"

StandbyOffice::StandbyOffice(StartSpreadsheet startHidden) : startHidden(std::move(startHidden)) {}

StandbyOffice::~StandbyOffice()
{
    // The office, if one started, is quit as its owner goes.
    if (starting.valid())
        starting.get();
}

void StandbyOffice::prepare()
{
    if (starting.valid())
        return;
    starting = std::async(std::launch::async, startHidden);
}

SheetResult<std::unique_ptr<Spreadsheet>> StandbyOffice::take()
{
    if (starting.valid()) {
        auto waiting = starting.get();
        if (waiting.ok() && waiting.value()->isAnswering())
            return waiting;
    }
    return startHidden();
}

StartSpreadsheet StandbyOffice::starter()
{
    return [this] { return take(); };
}
