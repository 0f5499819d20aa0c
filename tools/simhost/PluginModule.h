// PluginModule: one plug-in loaded the way X-Plane loads it: the shared object is opened, its five
// XPlugin entry points are looked up, and simhost calls them in X-Plane's order (start, enable, messages,
// ..., disable, stop), each in the plug-in's own context. Each load gets a tag of its own, so a plug-in
// loaded again is a new plug-in to the simulator. The object owns the loaded module and keeps the
// simulator's record of whether the plug-in is enabled; destroying it drops whatever the plug-in still has
// registered (simhost lists that first), then unloads the module, so that nothing left behind can call into
// unmapped code.
#pragma once

#include <memory>
#include <string>

#include "PluginContext.h"
#include "platform/DynamicLibrary.h"

class PluginModule {
public:
    static constexpr size_t IdentityBufferSize = 256;

    // Null with a one-line reason when the file cannot be loaded or lacks an entry point.
    static std::unique_ptr<PluginModule> load(const std::string& path, std::string* error);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // XPluginStart with three 256-byte buffers full of a non-zero filler; keeps the texts the plug-in wrote.
    int start();
    // The plug-in counts as enabled from the call of XPluginEnable, and stays so when it answers 1.
    int enable();
    // The plug-in counts as enabled until XPluginDisable returns.
    void disable();
    void stop();
    // XPluginReceiveMessage, only while the plug-in is enabled; false (and nothing called) otherwise.
    bool receiveMessage(int from, int message, void* parameter);

    // True once XPluginStart has answered 1: the plug-in then expects XPluginStop before it is unloaded.
    bool started() const { return started_; }
    bool enabled() const { return enabled_; }
    PluginTag tag() const { return tag_; }
    const std::string& path() const { return path_; }
    const std::string& name() const { return name_; }
    const std::string& signature() const { return signature_; }
    const std::string& description() const { return description_; }

private:
    using StartFunction = int (*)(char*, char*, char*);
    using VoidFunction = void (*)();
    using EnableFunction = int (*)();
    using MessageFunction = void (*)(int, int, void*);

    PluginModule(std::unique_ptr<DynamicLibrary> library, std::string path);
    bool resolve(std::string* error);

    std::unique_ptr<DynamicLibrary> library_;
    std::string path_;
    PluginTag tag_;
    StartFunction start_ = nullptr;
    VoidFunction stop_ = nullptr;
    EnableFunction enable_ = nullptr;
    VoidFunction disable_ = nullptr;
    MessageFunction receiveMessage_ = nullptr;
    bool started_ = false;
    bool enabled_ = false;
    std::string name_;
    std::string signature_;
    std::string description_;
};
