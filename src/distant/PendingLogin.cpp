#include "distant/PendingLogin.h"

#include "base/BaseString.h"
#include "base/PilotLog.h"
#include "distant/DistantObjectsCenter.h"
#include "io/IOSocketTCP.h"

PendingLogin::PendingLogin(DistantObjectsCenter* listener, DistantObjectsCenter* connection)
    : BaseThread(true, false), listener_(listener), peer_(connection->peerName()->chars()),
      connection_(retain(connection)) {}

PendingLogin::~PendingLogin() {
    stopThread();
    release(connection_);
}

const char* PendingLogin::className() const { return "PendingLogin"; }

void PendingLogin::abandon() {
    MutexLock guard(mutex_);
    if (connection_) connection_->stream()->close();
}

bool PendingLogin::waiting() {
    MutexLock guard(mutex_);
    return connection_ != nullptr;
}

DistantObjectsCenter* PendingLogin::takeConnection() {
    MutexLock guard(mutex_);
    DistantObjectsCenter* connection = connection_;
    connection_ = nullptr;
    return connection;
}

// The login object is read outside the lock: only this thread changes connection_, and abandon only closes
// its stream. A connection that nobody keeps closes when it is released here.
void PendingLogin::threadMethod() {
    DistantObjectsCenter* reading = nullptr;
    {
        MutexLock guard(mutex_);
        reading = connection_;
    }
    BaseObject* request = reading->readLoginRequest();
    if (!request && reading->stream()->endReason() == IOSocketAbstract::EndReason::ReadDeadline) {
        PilotLog::writeForPeer("app " + peer_ + " did not finish logging in within " +
                               std::to_string(DistantObjectsCenter::LoginDeadline.count()) + " s");
    }
    DistantObjectsCenter* connection = takeConnection();
    if (request) listener_->admit(connection, request);
    release(connection);
}
