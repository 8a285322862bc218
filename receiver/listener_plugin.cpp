// The Tidelisten module: its class names, ids and description, and what a Tidelisten
// object sets up beyond every script object (the listener, the notification
// registration, the reassembly buffer) and takes down again. Host's thread only.
#include <new>

#include "framework/plugin_definition.h"
#include "host/ids.h"
#include "receiver/buffer_address.h"
#include "receiver/delivery.h"
#include "receiver/receiver_members.h"
#include "receiver/receiver_state.h"

namespace tide {

namespace {

constexpr char kDescription[] =
    "\xA1\xE1"
    "common\r"
    "-Interface:STRING\r"
    "+Directorcode:STRING\r"
    "-Pointer:LONG_PTR\r"
    "\xA1\xE1"
    "Tidelisten\r"
    "Open(port:LONG,hostname:STRING):INT\r"
    "Close():INT\r"
    "start():void\r"
    "stop():void\r"
    "-IID:GUID\r"
    "+BufferSize:long\r"
    "#ScriptObject:SCRIPT\r"
    "#OnData:Symbol\r";

constexpr ForwardedWrite kForwardedWrites[] = {
    {"ScriptObject", "SetScriptObject"},     {"BufferSize", "SetBufferSize"},
    {"LocalInterface", "SetLocalInterface"}, {"OnTextData", "OnTextData"},
    {"OnBinaryData", "OnBinaryData"},        {nullptr, nullptr},
};

void Construct(ObjectView& object) {
    ReceiverState& receiver = *new (&Receiver(object)) ReceiverState{};
    MoaUtils& utils = object.utils();

    void* raw = nullptr;
    utils.QueryHostInterface(&host::kIidNotificationService, &raw);
    receiver.notificationService = static_cast<host::NotificationService*>(raw);
    raw = nullptr;
    host::InstanceSelf(object.instance())->QueryInterface(&host::kIidMoaNotificationClient, &raw);
    receiver.notificationClient = static_cast<host::NotificationClient*>(raw);
    if (receiver.notificationService && receiver.notificationClient) {
        receiver.notificationService->Register(receiver.notificationClient, &host::kNotifyIdle, 0,
                                               object.instance());
    }

    receiver.reassembly.Init(kDefaultBufferBytes);
    SyncBufferAddress(object);
}

void TeardownBeforeWorker(ObjectView& object) {
    ReceiverState& receiver = Receiver(object);
    if (!receiver.notificationService) {
        // Without the service there was no registration; the client is ours alone.
        if (receiver.notificationClient) receiver.notificationClient->Release();
        receiver.notificationClient = nullptr;
        return;
    }
    if (receiver.notificationClient) {
        receiver.notificationService->Unregister(receiver.notificationClient, &host::kNotifyIdle, 0);
        receiver.notificationClient->Release();
        receiver.notificationClient = nullptr;
    }
    receiver.notificationService->Release();
    receiver.notificationService = nullptr;
}

void TeardownAfterWorker(ObjectView& object) {
    ReceiverState& receiver = Receiver(object);
    object.utils().ReleaseValue(&receiver.scriptObject);
    receiver.scriptObject = host::HostValue{};
    WithdrawBufferAddress(object);
}

void TeardownAfterUtils(ObjectView& object) {
    ReceiverState& receiver = Receiver(object);
    receiver.reassembly.Free();
    receiver.~ReceiverState();
}

const PluginDefinition kListener = {
    .className = "Tidelisten",
    .messageTable = "xtra Tidelisten\nnew object me\n",
    .description = kDescription,
    .registrationClassId =
        host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD4, 0x01}},
    .scriptClassId = host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD4, 0x02}},
    .instanceVariableBytes = sizeof(ListenerVariables),
    .notificationClient = true,
    .commonProperties = {"IID", "IID_ptr", "Interface", "Pointer", "Ppointer", "DirectorCode"},
    .forwardedWrites = kForwardedWrites,
    .createWorker = &MakeWorker<GroupListener>,
    .destroyWorker = &DisposeWorker<GroupListener>,
    .workerBytes = sizeof(GroupListener),
    .construct = &Construct,
    .teardownBeforeWorker = &TeardownBeforeWorker,
    .teardownAfterWorker = &TeardownAfterWorker,
    .teardownAfterUtils = &TeardownAfterUtils,
    .readOwnProperty = &ReadReceiverProperty,
    .callOwnMember = &CallReceiverMember,
    .handleNotification = &DeliverOne,
};

}  // namespace

const PluginDefinition& ThisPlugin() { return kListener; }

}  // namespace tide
