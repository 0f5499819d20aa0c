// How long closing a listening socket takes. Its accept thread waits up to 2 s at a time for peers; close
// wakes it at once, so a stop of the bridge does not freeze the simulator's thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "base/AutoreleasePool.h"
#include "io/IOSocketTCP.h"

namespace {

void CloseListeningSocket(benchmark::State& state) {
    AutoreleasePool pool;
    for (auto _ : state) {
        state.PauseTiming();
        auto* socket = new IOSocketTCP();
        socket->setAddress("127.0.0.1", 0);
        socket->listen();
        // Let the accept thread settle into its 2-second wait before closing.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.ResumeTiming();
        socket->close();
        state.PauseTiming();
        release(socket);
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(CloseListeningSocket)->Unit(benchmark::kMicrosecond)->Iterations(50);
