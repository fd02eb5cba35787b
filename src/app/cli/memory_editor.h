#pragma once
#include "reading/memory_editor.h"

namespace sayvell::app::cli {
using reading::MemoryEditor;
using reading::normaliseLineBreaks;
}  // namespace sayvell::app::cli
