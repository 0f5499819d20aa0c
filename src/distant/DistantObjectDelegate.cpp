#include "distant/DistantObjectDelegate.h"

void DistantObjectDelegate::didReceiveObject(BaseObject*, DistantObjectsCenter*) {}

std::string_view DistantObjectDelegate::frequentMessage() const { return {}; }

void DistantObjectDelegate::didReceiveFrequentMessage(DistantObjectsCenter*) {}

bool DistantObjectDelegate::shouldAcceptConnection(DistantObjectsCenter*) { return true; }

void DistantObjectDelegate::didAcceptConnection(DistantObjectsCenter*) {}

void DistantObjectDelegate::connectionDidClose(DistantObjectsCenter*) {}

void DistantObjectDelegate::didRefusePeer(const char*, int32_t) {}
