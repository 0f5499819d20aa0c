#include "SerializerTestSupport.h"

#include <cstdio>

#include "base/AutoreleasePool.h"
#include "serialization/BaseSerializer.h"

std::string bytesFromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

std::string hexFromBytes(const std::string& bytes) {
    std::string hex;
    char part[4];
    for (unsigned char c : bytes) {
        std::snprintf(part, sizeof(part), hex.empty() ? "%02X" : " %02X", c);
        hex += part;
    }
    return hex;
}

std::string encoded(const BaseObject* object) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    auto* serializer = new BaseSerializer(buffer);
    bool written = serializer->writeObject(object);
    release(serializer);
    return written ? std::string(buffer->bytes(), buffer->length()) : std::string();
}

BaseObject* decoded(const std::string& bytes) {
    auto* buffer = createAutoreleased<BaseBuffer>();
    buffer->append(bytes.data(), bytes.size());
    auto* serializer = createAutoreleased<BaseSerializer>(buffer);
    return serializer->readObject();
}
