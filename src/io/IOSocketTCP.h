// IOSocketTCP: the stream-socket kind of IOSocketAbstract, and the only one. The bridge listens with one
// on port 21777; every accepted connection is another, made by newClient.
#pragma once

#include "io/IOSocketAbstract.h"

class IOSocketTCP : public IOSocketAbstract {
public:
    const char* serviceProtocol() const override;
    bool createSocket() override;
    IODriverAbstract* newClient() override;
};
