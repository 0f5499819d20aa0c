#include "distant/DistantObjectDelegate.h"

void DistantObjectDelegate::didReceiveObject(BaseObject*, DistantObjectsCenter*) {}

bool DistantObjectDelegate::shouldAcceptConnection(DistantObjectsCenter*) { return true; }

void DistantObjectDelegate::didAcceptConnection(DistantObjectsCenter*) {}

void DistantObjectDelegate::connectionDidClose(DistantObjectsCenter*) {}
