// The system's own words for why the last socket call on this thread failed ("Address already in use"),
// for the pilot's log.
#pragma once

#include <string>

std::string lastSocketErrorText();
