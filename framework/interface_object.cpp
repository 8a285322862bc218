// The count of live interface objects and the allocation rule of their creation.
#include "framework/interface_object.h"

namespace tide {

std::atomic<int32_t> liveInterfaces{0};

void* AllocateForInstance(host::InstanceHeader* instance, uint32_t bytes) {
    for (;;) {
        void* memory = instance->memory->Allocate(bytes);
        if (memory) return memory;
        std::new_handler handler = std::get_new_handler();
        if (!handler) return nullptr;
        try {
            handler();
        } catch (...) {
            return nullptr;
        }
    }
}

}  // namespace tide
