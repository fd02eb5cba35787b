#pragma once
// A whole plan as a JSON document, to copy one plan to every PC of a chain. The form is
// described in docs/plan-format.md; "version" says which form a file has, and a file of a
// newer form than this program knows is refused rather than half understood.
#include "plan/plan.h"

#include <QByteArray>

namespace sayvell::plan {

inline constexpr int kPlanFormatVersion = 1;

QByteArray planToJson(const Plan& plan);
// The whole plan, or false with a message for the user in *error and *plan untouched.
bool planFromJson(const QByteArray& data, Plan* plan, QString* error);

}  // namespace sayvell::plan
