// `new`: handler 0 of the script-class interface, which hands the script the value that
// stands for its new object. Host's thread only.
#include "framework/new_object.h"

#include "framework/boundary.h"
#include "framework/host_ref.h"
#include "host/ids.h"
#include "host/values.h"

namespace tide {

host::Status CScript_IMoaMmXScript::ScriptCall(host::HostCallRecord* record) {
    return Guard([&] {
        if (record->selector != 0) return host::kOk;  // only handler 0, `new`, exists

        host::Unknown* self = host::InstanceSelf(owner());
        void* value = nullptr;
        self->QueryInterface(&host::kIidMoaMmXValue, &value);

        host::HostCallback* callback = owner()->callback;
        HostRef<host::ObjectValueServices> objects(callback, host::kIidObjectValueServices);
        if (objects && value) objects->ObjectToValue(static_cast<host::Unknown*>(value), &record->result);

        // The host passes the instance itself for `me`; that value is ours to release.
        if (record->argc >= 1 && record->argv) {
            host::HostValue me = record->argv[0];
            HostRef<host::ValueServices> values(callback, host::kIidValueServices);
            if (values) values->ReleaseValue(&me);
        }

        if (value) static_cast<host::Unknown*>(value)->Release();
        return host::kOk;
    });
}

}  // namespace tide
