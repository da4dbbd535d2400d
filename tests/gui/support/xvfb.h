// A private X server for the tests of one process: Xvfb started on the first
// request with -displayfd (it picks a free display and tells us which),
// stopped by its process id when the process ends.
#pragma once

#include <string>

namespace guitest {

// Starts the server if needed and points DISPLAY at it; empty when Xvfb
// could not be started.
std::string privateDisplay();

}  // namespace guitest
