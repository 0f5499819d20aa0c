// PositionReport: the dictionary a client receives for a position request, made from one snapshot's values:
// each of the ten values as a real number under its key, inserted in the order of PositionFields (the
// order decides the dictionary's bucket order, and so the order of the pairs on the wire).
#pragma once

#include "plugin/PositionSnapshot.h"

class BaseDictionary;

// Any thread with an open pool: a new autoreleased report of values.
BaseDictionary* buildPositionReport(const PositionSnapshot::Values& values);
