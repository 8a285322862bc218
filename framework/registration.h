// The registration interface a module offers the host: its one entry publishes the script
// class. Its creation callback goes into the class table. Host's thread only.
#pragma once

#include "framework/interface_object.h"
#include "host/script.h"

namespace tide {

class CRegister_IMoaRegister : public InterfaceObject<CRegister_IMoaRegister, host::IMoaRegister> {
public:
    using InterfaceObject::InterfaceObject;
    host::Status TIDE_CALL PublishScriptClass(host::HostRegistry* registry, void* dictionary) override;
};

}  // namespace tide
