// A test object that records its destruction, to check who releases what and when.
#pragma once

#include <vector>

#include "base/BaseObject.h"

class TrackedObject : public BaseObject {
public:
    explicit TrackedObject(std::vector<int>* destroyed = nullptr, int id = 0) : destroyed_(destroyed), id_(id) {}
    ~TrackedObject() override {
        if (destroyed_) destroyed_->push_back(id_);
    }

private:
    std::vector<int>* destroyed_;
    int id_;
};
