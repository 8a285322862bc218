// The emulated host's other services: the callback's queries and host objects,
// HostMemory, the registry, notifications, the address table and the recording
// pass-through interfaces, with the host's books of references.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "emulator/host.h"
#include "emulator/status.h"
#include "host/ids.h"
#include "host/script.h"
#include "tests/emulator/host_fixture.h"

namespace {

using tide::emulator::Host;

class HostServicesTest : public tide::testing::HostTest {
protected:
    template <class Interface>
    Interface* Query(const host::InterfaceId& iid) {
        void* out = nullptr;
        EXPECT_EQ(host_.callback()->QueryInterface(&iid, &out), host::kOk);
        return static_cast<Interface*>(out);
    }
};

TEST_F(HostServicesTest, TheCallbackHandsOutEveryHostInterfaceWithAReferenceToRelease) {
    const host::InterfaceId ids[] = {
        host::kIidValueServices,       host::kIidListServices,        host::kIidCallServices,
        host::kIidObjectValueServices, host::kIidNotificationService, host::kIidAddressTable,
        host::kIidHostMemory,          host::kIidHostInterfaceA,      host::kIidHostInterfaceB,
        host::kIidHostInterfaceC,      host::kIidHostInterfaceD,      host::kIidHostInterfaceE,
        host::kIidHostInterfaceF,      host::kIidHostInterfaceG,
    };
    std::vector<host::Unknown*> held;
    for (const host::InterfaceId& iid : ids) {
        host::Unknown* service = Query<host::Unknown>(iid);
        ASSERT_NE(service, nullptr) << tide::emulator::IdText(iid);
        // A query on the service itself for its own id gives the same object.
        void* again = nullptr;
        EXPECT_EQ(service->QueryInterface(&iid, &again), host::kOk);
        EXPECT_EQ(again, service);
        held.push_back(service);
        held.push_back(static_cast<host::Unknown*>(again));
        EXPECT_EQ(host_.QueriesFor(iid), 2u);
    }
    EXPECT_EQ(host_.alive().interfaceRefs, held.size());
    for (host::Unknown* service : held) service->Release();

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(host_.callback()->QueryInterface(&host::kIidMoaRegister, &none), host::kNoSuchInterface);
    EXPECT_EQ(none, nullptr);
}

TEST_F(HostServicesTest, ARefusedInterfaceIsAnsweredWithNothingUntilTheSwitchIsOff) {
    host_.RefuseInterface(host::kIidListServices);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(host_.callback()->QueryInterface(&host::kIidListServices, &out), host::kNoSuchInterface);
    EXPECT_EQ(out, nullptr);
    host_.RefuseInterface(host::kIidListServices, false);
    Query<host::ListServices>(host::kIidListServices)->Release();
}

TEST_F(HostServicesTest, ReleasingAnInterfaceMoreOftenThanHandedOutIsAnError) {
    auto* values = Query<host::ValueServices>(host::kIidValueServices);
    values->Release();
    values->Release();
    ExpectError("released more often than it was handed out");
    EXPECT_EQ(host_.alive().interfaceRefs, 0u);
}

TEST_F(HostServicesTest, AnUnprovidedEntryIsAnError) {
    auto* values = Query<host::ValueServices>(host::kIidValueServices);
    EXPECT_EQ(values->Unused4(), tide::emulator::kNotProvided);
    values->Release();
    ExpectError("entry 4 is not provided");
}

TEST_F(HostServicesTest, NewHostObjectMakesAGuidValueThatKeepsItsIdAndDirectorCode) {
    void* out = nullptr;
    ASSERT_EQ(host_.callback()->NewHostObject(&host::kClsidGuidValue, &host::kIidMoaMmXValue, &out),
              host::kOk);
    auto* guid = static_cast<host::IMoaMmXValue*>(out);
    ASSERT_NE(guid, nullptr);
    EXPECT_EQ(host_.alive().hostObjects, 1u);

    host::HostValue code = host_.MakeString("UTF-8");
    EXPECT_EQ(guid->WriteProperty(host_.Symbol("Directorcode"), 0, nullptr, &code), host::kOk);
    host_.Release(code);
    uint8_t id[16];
    host::WriteIdBytes(host::kIidMoaMmXScript, id);
    EXPECT_EQ(guid->Entry3(id), host::kOk);

    host::HostValue value{};
    ASSERT_EQ(host_.objectValueServices()->ObjectToValue(guid, &value), host::kOk);
    guid->Release();

    std::optional<tide::emulator::GuidValueState> state = host_.GuidValueOf(value);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->hasId);
    EXPECT_EQ(std::memcmp(state->id, id, 16), 0);
    EXPECT_EQ(state->idText, "{AC401FB6-0001-F9B0-0000-0800072C6326}");
    EXPECT_EQ(state->directorCode, "UTF-8");

    // Its string form is the id's text, as a script would print it.
    host::HostValue text{};
    EXPECT_EQ(static_cast<host::IMoaMmXValue*>(host_.ObjectOf(value))->StringForm(&text), host::kOk);
    EXPECT_EQ(host_.StringOf(text), state->idText);
    host_.Release(text);
    host_.Release(value);
    EXPECT_EQ(host_.alive().hostObjects, 0u);
}

TEST_F(HostServicesTest, NewHostObjectRefusesUnknownClassesAndWhenSwitchedTo) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(host_.callback()->NewHostObject(&host::kIidValueServices, &host::kIidMoaMmXValue, &out),
              host::kNoSuchClass);
    EXPECT_EQ(out, nullptr);
    host_.RefuseNewHostObject();
    out = reinterpret_cast<void*>(1);
    EXPECT_NE(host_.callback()->NewHostObject(&host::kClsidGuidValue, &host::kIidMoaMmXValue, &out),
              host::kOk);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostServicesTest, HostMemoryCountsBlocksFailsOnRequestAndRejectsForeignFrees) {
    host::HostMemory& memory = host_.memory();
    void* a = memory.Allocate(48);
    void* b = memory.Allocate(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(host_.alive().memoryBlocks, 2u);
    uint64_t serial = host_.memory().BlockSerial(a);
    EXPECT_NE(serial, 0u);

    host_.FailNextAllocations(2);
    EXPECT_EQ(memory.Allocate(8), nullptr);
    EXPECT_EQ(memory.Allocate(8), nullptr);
    void* c = memory.Allocate(8);
    EXPECT_NE(c, nullptr);
    host_.FailAllAllocations();
    EXPECT_EQ(memory.Allocate(8), nullptr);
    host_.FailAllAllocations(false);
    EXPECT_EQ(host_.counters().refusedAllocations, 3u);

    memory.Free(a);
    EXPECT_EQ(host_.memory().BlockSerial(a), 0u);
    memory.Free(a);
    ExpectError("did not give or freed already");
    memory.Free(nullptr);
    memory.Free(b);
    memory.Free(c);
}

TEST_F(HostServicesTest, TheRegistryRecordsClassesAndACopyOfEachTextItem) {
    host::EntryDictionary* entry = nullptr;
    int dictionary = 0;
    ASSERT_EQ(
        host_.registry().AddClassEntry(&dictionary, &host::kClsidGuidValue, &host::kIidMoaMmXScript, &entry),
        host::kOk);
    ASSERT_NE(entry, nullptr);
    char table[] = "xtra Tidelisten\nnew object me\n";
    EXPECT_EQ(entry->StoreItem(host::kItemTypeText, table, 0, "msgTable"), host::kOk);
    table[0] = 'X';
    const uint8_t bytes[3] = {1, 0, 2};
    EXPECT_EQ(entry->StoreItem(4, bytes, 3, "raw"), host::kOk);

    ASSERT_EQ(host_.registeredClasses().size(), 1u);
    const tide::emulator::RegisteredClass& registered = host_.registeredClasses()[0];
    EXPECT_EQ(registered.dictionary, &dictionary);
    EXPECT_TRUE(registered.classId == host::kClsidGuidValue);
    EXPECT_TRUE(registered.iid == host::kIidMoaMmXScript);
    ASSERT_NE(registered.Find("msgTable"), nullptr);
    EXPECT_EQ(registered.Find("msgTable")->bytes, "xtra Tidelisten\nnew object me\n");
    EXPECT_EQ(registered.Find("msgTable")->type, host::kItemTypeText);
    EXPECT_EQ(registered.Find("raw")->bytes, std::string("\1\0\2", 3));
    EXPECT_EQ(registered.Find("absent"), nullptr);

    host_.FailAddClassEntry(host::kNoMemory);
    entry = reinterpret_cast<host::EntryDictionary*>(1);
    EXPECT_EQ(
        host_.registry().AddClassEntry(&dictionary, &host::kClsidGuidValue, &host::kIidMoaMmXScript, &entry),
        host::kNoMemory);
    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(host_.registeredClasses().size(), 1u);
}

// A notification client that counts its calls and references and can run code inside
// its notification; it deletes itself with its last reference, as plug-in objects do.
class TestClient final : public host::NotificationClient {
public:
    explicit TestClient(std::function<void(TestClient&)> during = nullptr) : during_(std::move(during)) {}

    host::Status TIDE_CALL QueryInterface(const host::InterfaceId*, void** out) override {
        *out = nullptr;
        return host::kNoSuchInterface;
    }
    uint32_t TIDE_CALL AddRef() override { return ++refs; }
    uint32_t TIDE_CALL Release() override {
        uint32_t left = --refs;
        if (left == 0) {
            if (destroyed) *destroyed = true;
            delete this;
        }
        return left;
    }
    host::Status TIDE_CALL HandleNotification(const host::InterfaceId* id, void*, void* refData) override {
        ++calls;
        idle = idle && *id == host::kNotifyIdle;
        lastRefData = refData;
        if (during_) during_(*this);
        return host::kOk;
    }

    uint32_t refs = 1;
    int calls = 0;
    bool idle = true;
    void* lastRefData = nullptr;
    bool* destroyed = nullptr;

private:
    std::function<void(TestClient&)> during_;
};

TEST_F(HostServicesTest, RegisteredClientsAreNotifiedUntilUnregistered) {
    auto* service = Query<host::NotificationService>(host::kIidNotificationService);
    auto* client = new TestClient();
    int refData = 0;
    EXPECT_EQ(service->Register(client, &host::kNotifyIdle, 0, &refData), host::kOk);
    EXPECT_EQ(client->refs, 2u);
    EXPECT_EQ(host_.alive().notificationClients, 1u);
    EXPECT_EQ(host_.Notify(), 1u);
    EXPECT_EQ(host_.Notify(), 1u);
    EXPECT_EQ(client->calls, 2);
    EXPECT_TRUE(client->idle);
    EXPECT_EQ(client->lastRefData, &refData);

    EXPECT_EQ(service->Unregister(client, &host::kNotifyIdle, 0), host::kOk);
    EXPECT_EQ(client->refs, 1u);
    EXPECT_EQ(host_.Notify(), 0u);
    EXPECT_EQ(client->calls, 2);
    EXPECT_NE(service->Unregister(client, &host::kNotifyIdle, 0), host::kOk);
    ExpectError("not registered");
    client->Release();
    service->Release();
}

TEST_F(HostServicesTest, AClientMayUnregisterAndDieInsideItsOwnNotification) {
    host::NotificationService* service = host_.notificationService();
    bool destroyed = false;
    auto* client = new TestClient([service](TestClient& self) {
        service->Unregister(&self, &host::kNotifyIdle, 0);
        self.Release();  // its owner lets go as well: only the pump's reference is left
    });
    client->destroyed = &destroyed;
    service->Register(client, &host::kNotifyIdle, 0, nullptr);
    EXPECT_EQ(host_.Notify(), 1u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(host_.Notify(), 0u);
}

TEST_F(HostServicesTest, AClientUnregisteredByAnEarlierOneIsNotCalledInTheSameRound) {
    host::NotificationService* service = host_.notificationService();
    auto* second = new TestClient();
    auto* first = new TestClient(
        [service, second](TestClient&) { service->Unregister(second, &host::kNotifyIdle, 0); });
    service->Register(first, &host::kNotifyIdle, 0, nullptr);
    service->Register(second, &host::kNotifyIdle, 0, nullptr);
    EXPECT_EQ(host_.Notify(), 1u);
    EXPECT_EQ(second->calls, 0);
    service->Unregister(first, &host::kNotifyIdle, 0);
    first->Release();
    second->Release();
}

TEST_F(HostServicesTest, ReleaseLeftoversEndsRegistrations) {
    auto* client = new TestClient();
    host_.notificationService()->Register(client, &host::kNotifyIdle, 0, nullptr);
    EXPECT_EQ(host_.ReleaseLeftovers(), 1u);
    EXPECT_EQ(client->refs, 1u);
    client->Release();
}

TEST_F(HostServicesTest, AddressTableHandlesAreNonZeroNotReusedAndResolveOnlyWhileLongEnough) {
    host::AddressTable* table = host_.addressTable();
    char region[64];
    uint32_t first = 0, second = 0;
    ASSERT_EQ(table->Publish(region, sizeof region, &first), host::kOk);
    ASSERT_EQ(table->Publish(region + 8, 8, &second), host::kOk);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);

    void* base = nullptr;
    EXPECT_EQ(table->Resolve(first, 64, &base), host::kOk);
    EXPECT_EQ(base, region);
    EXPECT_NE(table->Resolve(first, 65, &base), host::kOk);
    EXPECT_EQ(base, nullptr);
    uint32_t length = 0;
    EXPECT_EQ(table->Lookup(second, &base, &length), host::kOk);
    EXPECT_EQ(base, region + 8);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(host_.alive().publishedRegions, 2u);

    EXPECT_EQ(table->Withdraw(first), host::kOk);
    EXPECT_NE(table->Resolve(first, 1, &base), host::kOk);
    EXPECT_EQ(base, nullptr);
    EXPECT_EQ(table->Withdraw(first), host::kNoSuchInterface);
    uint32_t third = 0;
    table->Publish(region, sizeof region, &third);
    EXPECT_NE(third, first);
    EXPECT_NE(table->Lookup(12345, &base, &length), host::kOk);
    EXPECT_EQ(length, 0u);
    table->Withdraw(second);
    table->Withdraw(third);
}

TEST_F(HostServicesTest, PassThroughInterfacesRecordTheirCalls) {
    auto* a = Query<host::HostInterfaceA>(host::kIidHostInterfaceA);
    auto* g = Query<host::HostInterfaceG>(host::kIidHostInterfaceG);
    EXPECT_EQ(a->Entry5(1, 2, 3, 4, 5, 6), host::kOk);
    EXPECT_EQ(g->Entry17(6, 5, 4, 3, 2, 1), host::kOk);
    ASSERT_EQ(host_.forwardedCalls().size(), 2u);
    EXPECT_EQ(host_.forwardedCalls()[0].entry, "A5");
    EXPECT_EQ(host_.forwardedCalls()[1].entry, "G17");
    EXPECT_EQ(host_.forwardedCalls()[1].words, (std::vector<host::Word>{6, 5, 4, 3, 2, 1}));
    a->Release();
    g->Release();
}

TEST_F(HostServicesTest, ACallFromAnotherThreadIsAnErrorAndChangesNothing) {
    host::ValueServices* values = host_.valueServices();
    host::Status status = host::kOk;
    host::HostValue made{{9, 9}};
    std::thread other([&] { status = values->MakeIntegerValue(1, &made); });
    other.join();
    EXPECT_EQ(status, tide::emulator::kWrongThread);
    EXPECT_EQ(made.words[0], 9u);
    ExpectError("thread other than the host's");
}

}  // namespace
