// The script-class interface: `new`, which makes a script object. Its creation callback
// goes into the class table. Host's thread only.
#pragma once

#include "framework/interface_object.h"
#include "host/script.h"

namespace tide {

class CScript_IMoaMmXScript : public InterfaceObject<CScript_IMoaMmXScript, host::IMoaMmXScript> {
public:
    using InterfaceObject::InterfaceObject;
    host::Status TIDE_CALL ScriptCall(host::HostCallRecord* record) override;
};

}  // namespace tide
