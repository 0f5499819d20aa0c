// DistantObjectDelegate: what a DistantObjectsCenter tells the object that serves its connections. A center
// never retains its delegate: a delegate clears itself from every center before it goes away.
#pragma once

#include "base/BaseObject.h"

class DistantObjectsCenter;

class DistantObjectDelegate : public BaseObject {
public:
    // An object arrived on connection; called on the connection's own receive thread.
    virtual void didReceiveObject(BaseObject* object, DistantObjectsCenter* connection);
    // Whether a new connection may stay; asked on the accept thread before its login.
    virtual bool shouldAcceptConnection(DistantObjectsCenter* connection);
    // A connection logged in; called on the accept thread. Retain it to keep it.
    virtual void didAcceptConnection(DistantObjectsCenter* connection);
    // The connection's receive loop ended (peer closed, stream failed); called on its receive thread.
    virtual void connectionDidClose(DistantObjectsCenter* connection);
};
