// SerializingEncoder: the object core's encoder (base/ObjectEncoder.h) made of the memory buffer and the
// serializer: an object's JSON text and its record form go into a BaseBuffer, which writes itself to a
// file. BaseSerializer.cpp installs it while the module loads.
#pragma once

#include "base/ObjectEncoder.h"

extern const ObjectEncoder serializingEncoder;
