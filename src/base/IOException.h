// IOException: thrown (by pointer, count 1) by IOExceptionFilter when the stream below fails. The catcher
// releases it. It is the only exception of the system and never crosses the serializer or a thread body.
#pragma once

#include "base/BaseObject.h"

class IOException : public BaseObject {};
