// The five exports of a module. They are the only symbols a module makes visible; all
// of them work from the constant class table and the count of live interface objects.
#include <cstring>
#include <type_traits>

#include "framework/boundary.h"
#include "framework/class_table.h"
#include "framework/interface_object.h"
#include "host/ids.h"
#include "host/plugin_exports.h"

// On Windows the module's .def file names the exports; elsewhere they are the only
// symbols left visible.
#ifdef _WIN32
#define TIDE_EXPORT extern "C"
#else
#define TIDE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using tide::WalkClassTable;

void WriteWord(uint8_t* at, uint32_t word) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(word >> (8 * i));
}

struct ClassForm {
    uint32_t* instanceBytes;
    host::ClassCreateCallback* create;
    host::ClassDestroyCallback* destroy;
    bool found;
};

int ReportClassForm(const host::ClassId&, uint32_t, uint32_t instanceBytes, host::ClassCreateCallback create,
                    host::ClassDestroyCallback destroy, void* context) {
    auto* form = static_cast<ClassForm*>(context);
    *form->instanceBytes = instanceBytes;
    *form->create = create;
    *form->destroy = destroy;
    form->found = true;
    return 1;
}

struct InterfaceSearch {
    const host::InterfaceId* wanted;
    tide::InterfaceCreateCallback create;
};

int FindInterface(const host::ClassId&, uint32_t, const host::InterfaceId& iid, uint32_t,
                  tide::InterfaceCreateCallback create, void* context) {
    auto* search = static_cast<InterfaceSearch*>(context);
    if (iid != *search->wanted) return 0;
    search->create = create;
    return 1;
}

struct RecordWriter {
    uint32_t count;
    uint8_t* next;  // null while counting
};

int CountOrWriteClass(const host::ClassId& classId, uint32_t modelWord, uint32_t, host::ClassCreateCallback,
                      host::ClassDestroyCallback, void* context) {
    auto* writer = static_cast<RecordWriter*>(context);
    ++writer->count;
    if (uint8_t* record = writer->next) {
        host::WriteIdBytes(classId, record);
        WriteWord(record + 16, modelWord);
        host::WriteIdBytes(host::kClassInfoRecordId, record + 20);
        WriteWord(record + 36, 1);
        writer->next += host::kClassInfoRecordBytes;
    }
    return 0;
}

int CountOrWriteInterface(const host::ClassId& classId, uint32_t classModelWord, const host::InterfaceId& iid,
                          uint32_t interfaceModelWord, tide::InterfaceCreateCallback, void* context) {
    auto* writer = static_cast<RecordWriter*>(context);
    ++writer->count;
    if (uint8_t* record = writer->next) {
        host::WriteIdBytes(classId, record);
        WriteWord(record + 16, classModelWord);
        host::WriteIdBytes(iid, record + 20);
        WriteWord(record + 36, interfaceModelWord);
        writer->next += host::kClassInfoRecordBytes;
    }
    return 0;
}

}  // namespace

TIDE_EXPORT host::Status TIDE_CALL DllGetClassForm(const host::ClassId* classId, uint32_t* instanceBytes,
                                                   host::ClassCreateCallback* create,
                                                   host::ClassDestroyCallback* destroy) {
    return tide::Guard([&] {
        ClassForm form{instanceBytes, create, destroy, false};
        WalkClassTable(classId, &ReportClassForm, nullptr, &form);
        return form.found ? host::kOk : host::kNoSuchClass;
    });
}

TIDE_EXPORT host::Status TIDE_CALL DllGetClassInfo(host::HostMemory* memory, uint8_t** records) {
    return tide::Guard([&] {
        RecordWriter writer{0, nullptr};
        WalkClassTable(nullptr, &CountOrWriteClass, &CountOrWriteInterface, &writer);
        const uint32_t bytes = (writer.count + 1) * host::kClassInfoRecordBytes;
        *records = static_cast<uint8_t*>(memory->Allocate(bytes));
        if (!*records) return host::kNoMemory;
        writer = RecordWriter{0, *records};
        WalkClassTable(nullptr, &CountOrWriteClass, &CountOrWriteInterface, &writer);
        // The terminator: no class, no interface.
        std::memset(writer.next, 0, host::kClassInfoRecordBytes);
        return host::kOk;
    });
}

TIDE_EXPORT host::Status TIDE_CALL DllGetInterface(void* instance, const host::ClassId* classId,
                                                   const host::InterfaceId* iid, void** out) {
    return tide::Guard([&] {
        InterfaceSearch search{iid, nullptr};
        WalkClassTable(classId, nullptr, &FindInterface, &search);
        if (!search.create) return host::kNoSuchInterface;
        return search.create(instance, out);
    });
}

TIDE_EXPORT host::Status TIDE_CALL DllGetClassObject(const void*, const void*, void**) {
    return host::kNoSuchClass;
}

TIDE_EXPORT host::Status TIDE_CALL DllCanUnloadNow() {
    return tide::liveInterfaces == 0 ? host::kOk : host::kStillInUse;
}

// Each export has exactly the type the host calls it through, calling convention
// included: where there are several (32-bit x86), a pointer type declared without it is
// another type, and every call through it would leave the stack unbalanced.
static_assert(std::is_same_v<decltype(&DllGetClassForm), host::DllGetClassFormFunction>);
static_assert(std::is_same_v<decltype(&DllGetClassInfo), host::DllGetClassInfoFunction>);
static_assert(std::is_same_v<decltype(&DllGetInterface), host::DllGetInterfaceFunction>);
static_assert(std::is_same_v<decltype(&DllGetClassObject), host::DllGetClassObjectFunction>);
static_assert(std::is_same_v<decltype(&DllCanUnloadNow), host::DllCanUnloadNowFunction>);
