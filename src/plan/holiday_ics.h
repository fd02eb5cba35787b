#pragma once
// Days off from an iCalendar (.ics) file: each event's days, multi-day and recurring events
// spread over the years asked for, become days off named by the event's summary.
#include "plan/plan.h"

#include <QByteArray>

namespace sayvell::plan {

// The days off of the file, or false with a message naming the line the file failed on.
bool daysOffFromIcs(const QByteArray& data, int fromYear, int toYear, std::vector<Exception>* out, QString* error);

// The plan with the imported days merged in: a day that already has an exception keeps it.
void mergeDaysOff(Plan* plan, const std::vector<Exception>& days);

}  // namespace sayvell::plan
