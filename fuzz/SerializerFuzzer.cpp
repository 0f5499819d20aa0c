// Feeds arbitrary bytes to the record reader, as an untrusted peer would, reading objects until none
// comes. Whatever is read must describe itself and write back out: the reader never accepts a graph that
// the writer would refuse, except the two kinds that cannot be sent on by design (a file whose sender
// could not open it, and a package index read from a stream), which the writer must refuse.
//
// Received files go to a scratch folder of this process, "<temp>/zephrane-fuzz-<n>/files/", emptied after
// every input; anything that appears beside "files" means a peer escaped the receiving folder.
#include <cstddef>
#include <cstdint>
#include <random>
#include <set>
#include <string>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"
#include "file/BaseFile.h"
#include "file/BasePackageIndex.h"
#include "file/PathOperations.h"
#include "io/BaseBuffer.h"
#include "serialization/BaseSerializer.h"

namespace {

// Files larger than this together are not written back: a sparse received file may declare a gigabyte.
constexpr int64_t WriteBackLimit = 1 << 20;

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        root_ = BaseSerializer::temporaryDirectoryPath()->chars() + ("zephrane-fuzz-" + std::to_string(random()));
        files_ = root_ + "/files/";
        AutoreleasePool pool;
        if (!createDirectory(createAutoreleased<BaseString>(files_.c_str()), true)) __builtin_trap();
    }
    ~ScratchFolder() {
        AutoreleasePool pool;
        removeItemAtPath(createAutoreleased<BaseString>(root_.c_str()), FileRemoveFlag::Recursive);
    }

    const std::string& files() const { return files_; }

    // Empties the files folder; traps when anything else appeared in the root.
    void check() const {
        AutoreleasePool pool;
        auto* root = createAutoreleased<BaseFile>(createAutoreleased<BaseString>(root_.c_str()), FileStatusOnly);
        BaseTypedArray<BaseString>* entries = root->listDirectory(false);
        for (uint32_t i = 0; i < entries->count(); ++i) {
            std::string name = entries->objectAtIndex(i)->chars();
            if (name != "." && name != ".." && name != "files") __builtin_trap();
        }
        auto* files = createAutoreleased<BaseString>(files_.c_str());
        removeItemAtPath(files, FileRemoveFlag::Recursive);
        if (!createDirectory(files, true)) __builtin_trap();
    }

private:
    std::string root_;
    std::string files_;
};

struct GraphKinds {
    bool unsendable = false;  // the writer must refuse the graph
    int64_t fileBytes = 0;
    // Two received files over one path: the later replaced the earlier, whose size no longer holds.
    bool replacedFile = false;
    std::set<std::string> filePaths;
};

void survey(const BaseObject* object, GraphKinds* kinds) {
    if (hasClassName(object, "BaseFile")) {
        auto* file = static_cast<const BaseFile*>(object);
        if (!file->existsAsFileOrDirectory()) kinds->unsendable = true;
        kinds->fileBytes += file->status().size;
        kinds->replacedFile = kinds->replacedFile || !kinds->filePaths.insert(file->path()->chars()).second;
    } else if (hasClassName(object, "BasePackageIndex")) {
        kinds->unsendable = kinds->unsendable || !static_cast<const BasePackageIndex*>(object)->entries();
    } else if (hasClassName(object, "BaseArray")) {
        auto* array = static_cast<const BaseArray*>(object);
        for (uint32_t i = 0; i < array->count(); ++i) survey(array->objectAtIndex(i), kinds);
    } else if (hasClassName(object, "BaseDictionary")) {
        for (BaseDictionaryEnumerator e(static_cast<const BaseDictionary*>(object)); !e.atEnd(); e.advance()) {
            survey(e.key(), kinds);
            survey(e.value(), kinds);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFolder scratch;
    {
        AutoreleasePool pool;
        auto* input = createAutoreleased<BaseBuffer>();
        input->append(data, size);
        auto* reader = createAutoreleased<BaseSerializer>(input);
        reader->setFileDirectory(createAutoreleased<BaseString>(scratch.files().c_str()));
        auto* output = createAutoreleased<BaseSerializer>(createAutoreleased<BaseBuffer>());
        while (BaseObject* object = reader->readObject()) {
            AutoreleasePool perObject;
            object->description(1);
            GraphKinds kinds;
            survey(object, &kinds);
            if (kinds.unsendable) {
                if (output->writeObject(object)) __builtin_trap();
            } else if (!kinds.replacedFile && kinds.fileBytes <= WriteBackLimit && !output->writeObject(object)) {
                __builtin_trap();
            }
        }
    }
    scratch.check();
    return 0;
}
