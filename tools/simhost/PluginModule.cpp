#include "PluginModule.h"

#include <cstring>

namespace {

// The text a plug-in wrote into a buffer, up to its terminator or the buffer's end.
std::string bufferText(const char* buffer) {
    return std::string(buffer, strnlen(buffer, PluginModule::IdentityBufferSize));
}

template <class Function>
bool lookUp(const DynamicLibrary& library, const char* name, Function& function, std::string* error) {
    function = reinterpret_cast<Function>(library.symbol(name));
    if (!function && error) *error = std::string("no entry point ") + name;
    return function != nullptr;
}

}  // namespace

PluginModule::PluginModule(std::unique_ptr<DynamicLibrary> library, std::string path)
    : library_(std::move(library)), path_(std::move(path)) {}

std::unique_ptr<PluginModule> PluginModule::load(const std::string& path, std::string* error) {
    std::string reason;
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::open(path, &reason);
    if (!library) {
        *error = "cannot load " + path + ": " + reason;
        return nullptr;
    }
    std::unique_ptr<PluginModule> module(new PluginModule(std::move(library), path));
    if (!module->resolve(&reason)) {
        *error = "cannot use " + path + ": " + reason;
        return nullptr;
    }
    return module;
}

bool PluginModule::resolve(std::string* error) {
    return lookUp(*library_, "XPluginStart", start_, error) && lookUp(*library_, "XPluginStop", stop_, error) &&
           lookUp(*library_, "XPluginEnable", enable_, error) && lookUp(*library_, "XPluginDisable", disable_, error) &&
           lookUp(*library_, "XPluginReceiveMessage", receiveMessage_, error);
}

int PluginModule::start() {
    char name[IdentityBufferSize] = {};
    char signature[IdentityBufferSize] = {};
    char description[IdentityBufferSize] = {};
    int result = start_(name, signature, description);
    name_ = bufferText(name);
    signature_ = bufferText(signature);
    description_ = bufferText(description);
    started_ = result == 1;
    return result;
}

int PluginModule::enable() {
    int result = enable_();
    enabled_ = result == 1;
    return result;
}

void PluginModule::disable() {
    disable_();
    enabled_ = false;
}

void PluginModule::stop() { stop_(); }
