#include "PluginModule.h"

#include <array>

#include "Simulator.h"

namespace {

// Each loaded plug-in gets a tag of its own, never reused; NoPlugin is never handed out.
PluginTag newTag() {
    static PluginTag lastTag = NoPlugin;
    return ++lastTag;
}

// What the identity buffers hold before XPluginStart: the simulator promises no zeroed memory, and a
// visible filler shows up in the printed identity of a plug-in that forgets a text's terminator.
constexpr char BufferFiller = '#';

using IdentityBuffer = std::array<char, PluginModule::IdentityBufferSize>;

IdentityBuffer filledBuffer() {
    IdentityBuffer buffer;
    buffer.fill(BufferFiller);
    return buffer;
}

// The text a plug-in wrote into a buffer, up to its terminator; the last byte is always taken as one, so
// a plug-in that wrote none gives at most the first 255 bytes.
std::string bufferText(IdentityBuffer& buffer) {
    buffer.back() = '\0';
    return std::string(buffer.data());
}

template <class Function>
bool lookUp(const DynamicLibrary& library, const char* name, Function& function, std::string* error) {
    function = reinterpret_cast<Function>(library.symbol(name));
    if (!function && error) *error = std::string("no entry point ") + name;
    return function != nullptr;
}

}  // namespace

PluginModule::PluginModule(std::unique_ptr<DynamicLibrary> library, std::string path)
    : library_(std::move(library)), path_(std::move(path)), tag_(newTag()) {
    simulator().plugins.add(tag_);
}

PluginModule::~PluginModule() { simulator().forgetPlugin(tag_); }

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
    IdentityBuffer name = filledBuffer();
    IdentityBuffer signature = filledBuffer();
    IdentityBuffer description = filledBuffer();
    PluginContext context(tag_);
    int result = start_(name.data(), signature.data(), description.data());
    name_ = bufferText(name);
    signature_ = bufferText(signature);
    description_ = bufferText(description);
    started_ = result == 1;
    return result;
}

int PluginModule::enable() {
    PluginContext context(tag_);
    simulator().plugins.setEnabled(tag_, true);
    int result = enable_();
    enabled_ = result == 1;
    simulator().plugins.setEnabled(tag_, enabled_);
    return result;
}

void PluginModule::disable() {
    PluginContext context(tag_);
    disable_();
    enabled_ = false;
    simulator().plugins.setEnabled(tag_, false);
}

bool PluginModule::receiveMessage(int from, int message, void* parameter) {
    if (!enabled_) return false;
    PluginContext context(tag_);
    receiveMessage_(from, message, parameter);
    return true;
}

void PluginModule::stop() {
    PluginContext context(tag_);
    stop_();
}
