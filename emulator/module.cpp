// Loading, walking, registering and unloading plug-in modules; `new`.
#include "emulator/module.h"

#include <cstring>

#include "emulator/host.h"
#include "emulator/instance.h"
#include "emulator/module_loading.h"
#include "host/ids.h"

namespace tide::emulator {

namespace {

uint32_t ReadWord(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

host::Id ReadId(const uint8_t* at) {
    host::Id id{};
    id.data1 = ReadWord(at);
    id.data2 = static_cast<uint16_t>(at[4] | at[5] << 8);
    id.data3 = static_cast<uint16_t>(at[6] | at[7] << 8);
    std::memcpy(id.data4, at + 8, 8);
    return id;
}

bool IsZero(const host::Id& id) { return id == host::Id{}; }

template <class Function>
bool Resolve(void* handle, const char* name, Function* out, std::string* error) {
    *out = reinterpret_cast<Function>(FindExport(handle, name));
    if (*out) return true;
    *error = std::string("the module does not export ") + name;
    return false;
}

// "xtra Tidelisten\nnew object me\n" declares the class "Tidelisten".
std::string ClassNameOf(const std::string& messageTable) {
    const std::string prefix = "xtra ";
    if (messageTable.compare(0, prefix.size(), prefix) != 0) return {};
    size_t end = messageTable.find('\n');
    return messageTable.substr(prefix.size(),
                               end == std::string::npos ? std::string::npos : end - prefix.size());
}

}  // namespace

std::unique_ptr<Module> Module::Load(Host& host, const std::string& path, std::string* error) {
    void* handle = OpenModule(path, error);
    if (!handle) return nullptr;
    std::unique_ptr<Module> module(new Module(host, path, handle));
    ModuleExports& e = module->exports_;
    if (!Resolve(handle, host::kExportGetClassForm, &e.getClassForm, error) ||
        !Resolve(handle, host::kExportGetClassInfo, &e.getClassInfo, error) ||
        !Resolve(handle, host::kExportGetInterface, &e.getInterface, error) ||
        !Resolve(handle, host::kExportGetClassObject, &e.getClassObject, error) ||
        !Resolve(handle, host::kExportCanUnloadNow, &e.canUnloadNow, error) || !module->Walk(error) ||
        !module->Register(error)) {
        return nullptr;
    }
    return module;
}

Module::Module(Host& host, std::string path, void* handle)
    : host_(host), path_(std::move(path)), handle_(handle) {}

Module::~Module() { Unload(); }

bool Module::Unload() {
    if (!handle_) return true;
    if (exports_.canUnloadNow && exports_.canUnloadNow() != host::kOk) {
        host_.ledger().Error(path_ + " says it cannot be unloaded: an interface object of it is still alive");
        return false;
    }
    CloseModule(handle_);
    handle_ = nullptr;
    return true;
}

bool Module::Walk(std::string* error) {
    uint8_t* array = nullptr;
    if (exports_.getClassInfo(&host_.memory(), &array) != host::kOk || !array) {
        *error = "DllGetClassInfo gave no class information";
        return false;
    }
    // A class record, then its interface records, until the terminator.
    const uint8_t* at = array;
    for (int guard = 0; guard < 64; ++guard, at += host::kClassInfoRecordBytes) {
        ClassInfoRecord record;
        record.classId = ReadId(at);
        record.modelWord = ReadWord(at + 16);
        record.id = ReadId(at + 20);
        record.lastWord = ReadWord(at + 36);
        if (IsZero(record.classId) && IsZero(record.id)) break;
        record.isClass = record.id == host::kClassInfoRecordId && record.lastWord == 1;
        records_.push_back(record);
    }
    host_.memory().Free(array);

    host::ClassId current{};
    for (const ClassInfoRecord& record : records_) {
        if (record.isClass) {
            current = record.classId;
        } else if (record.classId != current) {
            *error = "an interface record does not follow its class record";
            return false;
        } else if (record.id == host::kIidMoaRegister) {
            registrationClass_ = current;
        } else if (record.id == host::kIidMoaMmXScript) {
            scriptClass_ = current;
        }
    }
    if (IsZero(registrationClass_) || IsZero(scriptClass_)) {
        *error = "the module offers no registration class or no script class";
        return false;
    }
    host::ClassCreateCallback create = nullptr;
    host::ClassDestroyCallback destroy = nullptr;
    if (exports_.getClassForm(&registrationClass_, &registrationBytes_, &create, &destroy) != host::kOk ||
        exports_.getClassForm(&scriptClass_, &scriptBytes_, &create, &destroy) != host::kOk) {
        *error = "DllGetClassForm does not know a class its class information names";
        return false;
    }
    return true;
}

bool Module::Register(std::string* error) {
    Instance* instance = MakeInstance(registrationClass_, registrationBytes_);
    if (!instance) {
        *error = "cannot make a registration instance";
        return false;
    }
    void* raw = nullptr;
    instance->self()->QueryInterface(&host::kIidMoaRegister, &raw);
    auto* registration = static_cast<host::IMoaRegister*>(raw);
    size_t before = host_.registry().classes().size();
    host::Status status = registration ? registration->PublishScriptClass(&host_.registry(), this) : -1;
    if (registration) registration->Release();
    instance->self()->Release();
    if (status != host::kOk || host_.registry().classes().size() == before) {
        *error = "the module's registration failed";
        return false;
    }
    const StoredItem* table = host_.registry().classes().back().Find("msgTable");
    if (!table || table->type != host::kItemTypeText) {
        *error = "the module registered no message table";
        return false;
    }
    messageTable_ = table->bytes;
    className_ = ClassNameOf(messageTable_);
    if (className_.empty()) {
        *error = "the module's message table names no class";
        return false;
    }
    return true;
}

Instance* Module::MakeInstance(const host::ClassId& classId, uint32_t bytes) {
    return Instance::Make(host_, exports_.getInterface, classId, bytes);
}

host::HostValue Module::New() {
    Instance* instance = MakeInstance(scriptClass_, scriptBytes_);
    if (!instance) return host::HostValue{};
    host::HostValue result{};
    void* raw = nullptr;
    instance->self()->QueryInterface(&host::kIidMoaMmXScript, &raw);
    if (auto* script = static_cast<host::IMoaMmXScript*>(raw)) {
        // `me`: a value standing for the instance, which the script class consumes.
        host::HostValue argv[1] = {host_.MakeObjectValue(instance->self())};
        host::HostCallRecord record{};
        record.selector = 0;
        record.argc = 1;
        record.argv = argv;
        script->ScriptCall(&record);
        result = record.result;
        script->Release();
    }
    instance->self()->Release();
    return result;
}

}  // namespace tide::emulator
