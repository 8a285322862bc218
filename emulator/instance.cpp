// Instances of the emulated host.
#include "emulator/instance.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "emulator/host.h"
#include "emulator/status.h"

namespace tide::emulator {

namespace {

// The instance's own table, placed at header word 1: its `this` is the address of that
// word, from which the header (and through word 0 the Instance) is found.
class InstanceSelf final : public host::Unknown {
public:
    host::Status TIDE_CALL QueryInterface(const host::InterfaceId* iid, void** out) override {
        return Owner()->Query(iid, out);
    }
    uint32_t TIDE_CALL AddRef() override { return Owner()->AddRef(); }
    uint32_t TIDE_CALL Release() override { return Owner()->Release(); }

private:
    Instance* Owner() { return static_cast<Instance*>(host::InstanceFromSelf(this)->hostWord0); }
};
static_assert(sizeof(InstanceSelf) == sizeof(void*), "the instance's table fills exactly one header word");

size_t liveInstances = 0;

}  // namespace

size_t Instance::live() { return liveInstances; }

Instance* Instance::Make(Host& host, const host::DllGetInterfaceFunction getInterface,
                         const host::ClassId& classId, uint32_t bytes) {
    if (bytes < host::kInstanceHeaderBytes) return nullptr;
    auto* instance = new Instance(host, getInterface, classId);
    instance->header_ = static_cast<host::InstanceHeader*>(std::calloc(1, bytes));
    if (!instance->header_) {
        delete instance;
        return nullptr;
    }
    host::InstanceHeader* header = instance->header_;
    header->hostWord0 = instance;
    new (&header->selfTable) InstanceSelf();
    header->callback = host.callback();
    header->memory = &host.memory();
    ++liveInstances;
    return instance;
}

Instance::Instance(Host& host, host::DllGetInterfaceFunction getInterface, const host::ClassId& classId)
    : host_(host), getInterface_(getInterface), classId_(classId) {}

Instance::~Instance() {
    if (header_) {
        std::free(header_);
        --liveInstances;
    }
}

host::Status Instance::Query(const host::InterfaceId* iid, void** out) {
    if (!host_.ledger().OnHostThread("instance QueryInterface")) return kWrongThread;
    for (const Made& made : made_) {
        if (made.iid == *iid && host_.memory().BlockSerial(made.object) == made.block) {
            static_cast<host::Unknown*>(made.object)->AddRef();
            *out = made.object;
            return host::kOk;
        }
    }
    void* object = nullptr;
    host::Status status = getInterface_(header_, &classId_, iid, &object);
    if (status == host::kOk && object) {
        Made fresh{*iid, object, host_.memory().BlockSerial(object)};
        auto stale =
            std::find_if(made_.begin(), made_.end(), [&](const Made& made) { return made.iid == *iid; });
        if (stale != made_.end()) {
            *stale = fresh;
        } else {
            made_.push_back(fresh);
        }
        *out = object;
        return host::kOk;
    }
    *out = nullptr;
    return status == host::kOk ? host::kNoSuchInterface : status;
}

uint32_t Instance::AddRef() {
    if (!host_.ledger().OnHostThread("instance AddRef")) return refs_;
    return ++refs_;
}

uint32_t Instance::Release() {
    if (!host_.ledger().OnHostThread("instance Release")) return refs_;
    if (refs_ == 0) {
        host_.ledger().Error("an instance was released more often than it was referenced");
        return 0;
    }
    uint32_t left = --refs_;
    if (left == 0) {
        for (const Made& made : made_) {
            if (host_.memory().BlockSerial(made.object) == made.block)
                host_.ledger().Error("an instance went while one of its interface objects was alive");
        }
        delete this;
    }
    return left;
}

}  // namespace tide::emulator
