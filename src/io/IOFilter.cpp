#include "io/IOFilter.h"

IOFilter::IOFilter(IOAbstract* inner) : inner_(retain(inner)) {}

IOFilter::~IOFilter() { release(inner_); }

bool IOFilter::read(void* destination, uint64_t* count) { return inner_->read(destination, count); }

bool IOFilter::write(const void* source, uint64_t count) { return inner_->write(source, count); }

bool IOFilter::flush() { return inner_->flush(); }

bool IOFilter::close() { return inner_->close(); }

int64_t IOFilter::position() { return inner_->position(); }

bool IOFilter::setPosition(uint64_t offset) { return inner_->setPosition(offset); }
