// DistantObjectDelegate: what a DistantObjectsCenter tells the object that serves its connections. A center
// never retains its delegate: a delegate clears itself from every center before it goes away.
#pragma once

#include <string_view>

#include "base/BaseObject.h"

class DistantObjectsCenter;

// The refusal of a peer that is not on this computer's networks; never sent, since such a peer hears nothing.
constexpr int32_t RefusedOffNetwork = -1;

class DistantObjectDelegate : public BaseObject {
public:
    // An object arrived on connection; called on the connection's own receive thread.
    virtual void didReceiveObject(BaseObject* object, DistantObjectsCenter* connection);
    // The exact record bytes of a message this delegate receives often, which a connection recognises
    // without decoding it when all of them have already arrived (empty: none). Must stay the same, and
    // valid, for as long as the delegate serves connections.
    virtual std::string_view frequentMessage() const;
    // That message arrived on connection; called on its receive thread instead of didReceiveObject with
    // the object the bytes decode to, with a pool open.
    virtual void didReceiveFrequentMessage(DistantObjectsCenter* connection);
    // Whether a new connection may stay; asked on the accept thread before its login.
    virtual bool shouldAcceptConnection(DistantObjectsCenter* connection);
    // A connection logged in; called on the accept thread. Retain it to keep it.
    virtual void didAcceptConnection(DistantObjectsCenter* connection);
    // A peer at address was refused: code is a result code of the login handshake, which the peer is about
    // to be sent (called on the login's thread), or RefusedOffNetwork for a peer outside the listening
    // center's scope, which was closed without a word (called on the accept thread).
    virtual void didRefusePeer(const char* address, int32_t code);
    // The connection's receive loop ended (peer closed, stream failed); called on its receive thread.
    virtual void connectionDidClose(DistantObjectsCenter* connection);
};
