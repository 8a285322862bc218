// What the host does with a plug-in module: load it, walk its class information, learn
// its classes' sizes, register its script class, make script objects on `new`, and ask
// before unloading whether it may go. Only the five exports and the interface tables are
// used, as the real host would. Host's thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/plugin_exports.h"
#include "host/script.h"

namespace tide::emulator {

class Host;
class Instance;

// One 40-byte class-info record, read back.
struct ClassInfoRecord {
    host::ClassId classId{};
    uint32_t modelWord = 0;
    host::Id id{};  // the fixed class-record id, or the interface id
    uint32_t lastWord = 0;
    bool isClass = false;
};

// The five exports of a loaded module.
struct ModuleExports {
    host::DllGetClassFormFunction getClassForm = nullptr;
    host::DllGetClassInfoFunction getClassInfo = nullptr;
    host::DllGetInterfaceFunction getInterface = nullptr;
    host::DllGetClassObjectFunction getClassObject = nullptr;
    host::DllCanUnloadNowFunction canUnloadNow = nullptr;
};

class Module {
public:
    // Loads the module at `path`, checks and walks its class information, and registers
    // its script class. Null with `*error` saying why when any step fails.
    static std::unique_ptr<Module> Load(Host& host, const std::string& path, std::string* error);

    // Unload(), when it has not run yet.
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Asks DllCanUnloadNow and closes the module when it agrees. When it does not, the
    // module stays loaded (its code may still be in use) and the host's books record an
    // error. True when the module was closed.
    bool Unload();

    // The class name the message table declares ("Tidelisten").
    const std::string& className() const { return className_; }
    const std::string& path() const { return path_; }
    const std::string& messageTable() const { return messageTable_; }
    const std::vector<ClassInfoRecord>& records() const { return records_; }
    const ModuleExports& exports() const { return exports_; }
    const host::ClassId& registrationClassId() const { return registrationClass_; }
    const host::ClassId& scriptClassId() const { return scriptClass_; }
    uint32_t registrationInstanceBytes() const { return registrationBytes_; }
    uint32_t scriptInstanceBytes() const { return scriptBytes_; }

    // The host's `new`: a new instance of the script class, whose script-class call (handler
    // 0) gives the script object. The value is the caller's; releasing its last reference
    // tears the object down. The void value when the module made nothing.
    host::HostValue New();

    // A new instance of one of the module's classes, with one reference held by the
    // caller (release it through instance->self()). For tests of the exports.
    Instance* MakeInstance(const host::ClassId& classId, uint32_t bytes);

private:
    Module(Host& host, std::string path, void* handle);
    bool Walk(std::string* error);
    bool Register(std::string* error);

    Host& host_;
    std::string path_;
    void* handle_;
    ModuleExports exports_;
    std::vector<ClassInfoRecord> records_;
    host::ClassId registrationClass_{};
    host::ClassId scriptClass_{};
    uint32_t registrationBytes_ = 0;
    uint32_t scriptBytes_ = 0;
    std::string messageTable_;
    std::string className_;
};

}  // namespace tide::emulator
