// Feeds arbitrary bytes to the record reader, as an untrusted peer would, reading objects until none
// comes. Whatever is read must describe itself and write back out: the reader never accepts a graph that
// the writer would refuse.
#include <cstddef>
#include <cstdint>

#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AutoreleasePool pool;
    auto* input = createAutoreleased<BaseBuffer>();
    input->append(data, size);
    auto* reader = createAutoreleased<BaseSerializer>(input);
    auto* output = createAutoreleased<BaseSerializer>(createAutoreleased<BaseBuffer>());
    while (BaseObject* object = reader->readObject()) {
        AutoreleasePool perObject;
        object->description(1);
        if (!output->writeObject(object)) __builtin_trap();
    }
    return 0;
}
