// The process-wide display record; start_up() fills it.
#include "display.h"

Display display = {nullptr, nullptr, 0, nullptr};
