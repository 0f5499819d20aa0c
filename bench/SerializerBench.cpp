// Encode and decode times of the two messages every client exchanges: the position report (ten reals under
// the report keys) and the login dictionary.
#include <benchmark/benchmark.h>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

namespace {

BaseDictionary* positionReport() {
    static const char* keys[] = {"latitude", "longitude", "altitude", "speed", "course",
                                 "pitch",    "roll",      "yaw",      "slip",  "accelerationZ"};
    auto* report = createAutoreleased<BaseDictionary>();
    double value = 46.123456789;
    for (const char* key : keys) {
        report->setDoubleForKey(value, createAutoreleased<BaseString>(key), true);
        value = value * 1.37 + 0.123;
    }
    return report;
}

BaseDictionary* loginRequest() {
    auto* login = createAutoreleased<BaseDictionary>();
    login->setStringForCStringKey("Quillory Zephrane App", "User-Agent");
    login->setStringForCStringKey("0123456789abcdef0123456789abcdef", "Password");
    login->setStringForCStringKey("1", "Protocol_Version");
    return login;
}

void encode(benchmark::State& state, BaseDictionary* (*make)()) {
    AutoreleasePool pool;
    BaseDictionary* message = make();
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    for (auto _ : state) {
        buffer->setLength(0);
        benchmark::DoNotOptimize(serializer->writeObject(message));
    }
    state.counters["bytes"] = static_cast<double>(buffer->length());
}

void decode(benchmark::State& state, BaseDictionary* (*make)()) {
    AutoreleasePool pool;
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    serializer->writeObject(make());
    for (auto _ : state) {
        AutoreleasePool perMessage;
        buffer->setPosition(0);
        benchmark::DoNotOptimize(serializer->readObject());
    }
}

void EncodePositionReport(benchmark::State& state) { encode(state, positionReport); }
void DecodePositionReport(benchmark::State& state) { decode(state, positionReport); }
void EncodeLogin(benchmark::State& state) { encode(state, loginRequest); }
void DecodeLogin(benchmark::State& state) { decode(state, loginRequest); }

}  // namespace

BENCHMARK(EncodePositionReport);
BENCHMARK(DecodePositionReport);
BENCHMARK(EncodeLogin);
BENCHMARK(DecodeLogin);
