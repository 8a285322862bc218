// The five exports of both modules, seen as the host sees them: class information,
// class forms, interfaces on instances, reference counts, registration, unloading.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "emulator/instance.h"
#include "emulator/status.h"
#include "host/ids.h"
#include "tests/support/plugin_host.h"

namespace tide::testing {
namespace {

class EntryPointsTest : public PluginHostTest {};

void ExpectRecords(const emulator::Module& module, std::vector<host::InterfaceId> expected) {
    const auto& records = module.records();
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].modelWord, host::kModelWord);
        if (i == 0 || i == 2) {
            EXPECT_TRUE(records[i].isClass);
            EXPECT_EQ(records[i].id, host::kClassInfoRecordId);
            EXPECT_EQ(records[i].lastWord, 1u);
        } else {
            EXPECT_FALSE(records[i].isClass);
            EXPECT_EQ(records[i].id, expected[i]);
            EXPECT_EQ(records[i].lastWord, host::kModelWord);
            EXPECT_EQ(records[i].classId, records[i < 2 ? 0 : 2].classId);
        }
    }
}

TEST_F(EntryPointsTest, ClassInfoListsEachClassThenItsInterfacesThenATerminator) {
    ExpectRecords(*listen, {{},
                            host::kIidMoaRegister,
                            {},
                            host::kIidMoaMmXScript,
                            host::kIidMoaMmXValue,
                            host::kIidMoaNotificationClient});
    ExpectRecords(*speak, {{}, host::kIidMoaRegister, {}, host::kIidMoaMmXScript, host::kIidMoaMmXValue});

    // The raw array: 7 records (280 bytes) on Tidelisten, the last all zero ids.
    uint8_t* array = nullptr;
    ASSERT_EQ(listen->exports().getClassInfo(&host.memory(), &array), host::kOk);
    uint8_t zeros[16] = {};
    EXPECT_EQ(std::memcmp(array + 6 * 40, zeros, 16), 0);
    EXPECT_EQ(std::memcmp(array + 6 * 40 + 20, zeros, 16), 0);
    uint8_t registerId[16];
    host::WriteIdBytes(host::kIidMoaRegister, registerId);
    EXPECT_EQ(std::memcmp(array + 40 + 20, registerId, 16), 0) << "ids are stored in their in-memory form";
    host.memory().Free(array);
}

TEST_F(EntryPointsTest, ClassInfoAsksHostMemoryForOneBlockOfItsRecordsAndFailsWithoutIt) {
    std::vector<uint32_t> asked;
    host.memory().RefuseWhen([&](uint32_t bytes) {
        asked.push_back(bytes);
        return false;
    });
    for (const auto* module : {listen.get(), speak.get()}) {
        uint8_t* array = nullptr;
        ASSERT_EQ(module->exports().getClassInfo(&host.memory(), &array), host::kOk);
        host.memory().Free(array);
    }
    EXPECT_EQ(asked, (std::vector<uint32_t>{280, 240})) << "7 records of 40 bytes, and 6";

    host.memory().RefuseWhen([](uint32_t) { return true; });
    uint8_t* array = nullptr;
    EXPECT_EQ(speak->exports().getClassInfo(&host.memory(), &array), host::kNoMemory);
    EXPECT_EQ(array, nullptr);
    host.memory().RefuseWhen(nullptr);
}

TEST_F(EntryPointsTest, ClassIdsAreDistinctPerClassAndPerModule) {
    std::set<std::string> ids;
    for (const auto* module : {listen.get(), speak.get()}) {
        ids.insert(emulator::IdText(module->registrationClassId()));
        ids.insert(emulator::IdText(module->scriptClassId()));
    }
    EXPECT_EQ(ids.size(), 4u);
}

TEST_F(EntryPointsTest, ClassFormsGiveTheHeaderForRegistrationAndMoreForTheListenersScriptClass) {
    EXPECT_EQ(listen->registrationInstanceBytes(), host::kInstanceHeaderBytes);
    EXPECT_EQ(speak->registrationInstanceBytes(), host::kInstanceHeaderBytes);
    // Six words: 24 bytes where pointers are 32-bit, as for the original host.
    EXPECT_EQ(host::kInstanceHeaderBytes, sizeof(void*) == 4 ? 24u : 48u);
    EXPECT_GT(speak->scriptInstanceBytes(), host::kInstanceHeaderBytes);
    EXPECT_GT(listen->scriptInstanceBytes(), speak->scriptInstanceBytes());

    uint32_t bytes = 0;
    host::ClassCreateCallback create = nullptr;
    host::ClassDestroyCallback destroy = nullptr;
    // Without a class id the first class, the registration class, is reported.
    ASSERT_EQ(speak->exports().getClassForm(nullptr, &bytes, &create, &destroy), host::kOk);
    EXPECT_EQ(bytes, host::kInstanceHeaderBytes);
    ASSERT_TRUE(create && destroy);
    EXPECT_EQ(create(nullptr), host::kOk);
    destroy(nullptr);

    bytes = 12345;
    host::ClassId unknown{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    EXPECT_EQ(speak->exports().getClassForm(&unknown, &bytes, &create, &destroy), host::kNoSuchClass);
    EXPECT_EQ(bytes, 12345u) << "nothing is written for an unknown class";
    EXPECT_EQ(listen->exports().getClassObject(nullptr, nullptr, nullptr), host::kNoSuchClass);
}

TEST_F(EntryPointsTest, InterfacesAClassDoesNotHaveAreRefused) {
    emulator::Instance* instance = speak->MakeInstance(speak->scriptClassId(), speak->scriptInstanceBytes());
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(speak->exports().getInterface(instance->header(), &speak->scriptClassId(),
                                            &host::kIidMoaNotificationClient, &out),
              host::kNoSuchInterface);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1)) << "the out reference stays untouched";
    EXPECT_EQ(speak->exports().getInterface(instance->header(), &speak->registrationClassId(),
                                            &host::kIidMoaMmXValue, &out),
              host::kNoSuchInterface);
    instance->self()->Release();
}

TEST_F(EntryPointsTest, InterfaceObjectsCountTheirOwnReferencesAndHoldTheirInstance) {
    emulator::Instance* instance = speak->MakeInstance(speak->scriptClassId(), speak->scriptInstanceBytes());
    ASSERT_EQ(instance->refs(), 1u);
    ASSERT_EQ(speak->exports().canUnloadNow(), host::kOk);

    void* raw = nullptr;
    ASSERT_EQ(speak->exports().getInterface(instance->header(), &speak->scriptClassId(),
                                            &host::kIidMoaMmXScript, &raw),
              host::kOk);
    auto* script = static_cast<host::IMoaMmXScript*>(raw);
    // One reference for the interface handed out, one held while the object exists.
    EXPECT_EQ(instance->refs(), 3u);
    EXPECT_EQ(speak->exports().canUnloadNow(), host::kStillInUse);

    EXPECT_EQ(script->AddRef(), 2u);
    EXPECT_EQ(instance->refs(), 4u);
    EXPECT_EQ(script->Release(), 1u);
    EXPECT_EQ(instance->refs(), 3u);

    // A handler other than `new` does nothing and leaves the result alone.
    host::HostCallRecord record{};
    record.selector = 1;
    record.result = host::HostValue{{7, 7}};
    EXPECT_EQ(script->ScriptCall(&record), host::kOk);
    EXPECT_EQ(record.result.words[0], 7u);

    EXPECT_EQ(script->Release(), 0u);
    EXPECT_EQ(instance->refs(), 1u);
    EXPECT_EQ(speak->exports().canUnloadNow(), host::kOk);
    instance->self()->Release();
}

TEST_F(EntryPointsTest, AnInstanceUsedFromAnotherThreadChangesNothingAndIsAnError) {
    emulator::Instance* instance = speak->MakeInstance(speak->scriptClassId(), speak->scriptInstanceBytes());
    host::Status status = host::kOk;
    void* raw = &status;
    uint32_t added = 0;
    uint32_t released = 0;
    std::thread other([&] {
        status = instance->self()->QueryInterface(&host::kIidMoaMmXScript, &raw);
        added = instance->self()->AddRef();
        released = instance->self()->Release();
    });
    other.join();
    EXPECT_EQ(status, emulator::kWrongThread);
    EXPECT_EQ(raw, &status) << "the out is not written";
    EXPECT_EQ(added, 1u);
    EXPECT_EQ(released, 1u);
    EXPECT_EQ(instance->refs(), 1u);
    EXPECT_EQ(speak->exports().canUnloadNow(), host::kOk) << "no interface object was made";
    const std::vector<std::string> errors = host.errors();
    ASSERT_EQ(errors.size(), 3u) << ::testing::PrintToString(errors);
    EXPECT_NE(errors[0].find("instance QueryInterface was called from a thread other than the host's"),
              std::string::npos);
    host.ClearErrors();
    instance->self()->Release();
}

TEST_F(EntryPointsTest, AnInterfaceObjectTheHostCannotAllocateIsNoMemoryWithAnEmptyOut) {
    emulator::Instance* instance =
        listen->MakeInstance(listen->scriptClassId(), listen->scriptInstanceBytes());
    host.FailNextAllocations(1);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(listen->exports().getInterface(instance->header(), &listen->scriptClassId(),
                                             &host::kIidMoaMmXScript, &out),
              host::kNoMemory);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(instance->refs(), 1u);
    EXPECT_EQ(listen->exports().canUnloadNow(), host::kOk);
    instance->self()->Release();

    uint8_t* array = reinterpret_cast<uint8_t*>(0x1);
    host.FailNextAllocations(1);
    EXPECT_EQ(listen->exports().getClassInfo(&host.memory(), &array), host::kNoMemory);
    EXPECT_EQ(array, nullptr);
}

TEST_F(EntryPointsTest, ModulesCannotUnloadWhileAScriptObjectLives) {
    host::HostValue object = listen->New();
    EXPECT_EQ(listen->exports().canUnloadNow(), host::kStillInUse);
    EXPECT_EQ(speak->exports().canUnloadNow(), host::kOk) << "the modules keep separate counts";
    host.Release(object);
    EXPECT_EQ(listen->exports().canUnloadNow(), host::kOk);
    EXPECT_EQ(emulator::Instance::live(), 0u);
}

// DllCanUnloadNow may come from any thread while the host's thread makes and releases
// objects; under ThreadSanitizer this shows whether the count is read soundly.
TEST_F(EntryPointsTest, UnloadingMayBeAskedFromAnotherThreadWhileObjectsComeAndGo) {
    std::atomic<bool> done{false};
    std::atomic<int> answers{0};
    std::thread asker([&] {
        while (!done.load()) {
            const host::Status status = listen->exports().canUnloadNow();
            EXPECT_TRUE(status == host::kOk || status == host::kStillInUse) << status;
            answers.fetch_add(1);
        }
    });
    for (int i = 0; i < 200 || answers.load() < 10; ++i) host.Release(listen->New());
    done = true;
    asker.join();
    EXPECT_EQ(listen->exports().canUnloadNow(), host::kOk);
}

TEST_F(EntryPointsTest, RegistrationStoresExactlyTheMessageTable) {
    EXPECT_EQ(listen->className(), "Tidelisten");
    EXPECT_EQ(speak->className(), "Tidespeak");
    const auto& classes = host.registeredClasses();
    ASSERT_EQ(classes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const emulator::RegisteredClass& entry = classes[i];
        EXPECT_EQ(entry.iid, host::kIidMoaMmXScript);
        ASSERT_EQ(entry.items.size(), 1u);
        EXPECT_EQ(entry.items[0].key, "msgTable");
        EXPECT_EQ(entry.items[0].type, 9);
        EXPECT_EQ(entry.items[0].size, 0);
    }
    EXPECT_EQ(classes[0].classId, listen->scriptClassId());
    EXPECT_EQ(classes[0].items[0].bytes, "xtra Tidelisten\nnew object me\n");
    EXPECT_EQ(classes[1].items[0].bytes, "xtra Tidespeak\nnew object me\n");
}

TEST_F(EntryPointsTest, AFailedClassEntryStoresNothingAndTheModuleDoesNotLoad) {
    host.FailAddClassEntry(static_cast<host::Status>(0x80041234u));
    std::string error;
    auto again = emulator::Module::Load(host, emulator::ModuleFile(PluginDirectory(), "Tidespeak"), &error);
    EXPECT_FALSE(again);
    EXPECT_EQ(host.registeredClasses().size(), 2u) << "no further entry, no StoreItem";
    host.FailAddClassEntry(host::kOk);
}

// Only the five entries are visible, so that two modules in one process never bind to
// each other's code. (A Windows module's export table is read by module_files.sh.)
TEST(ModuleSymbols, EachModuleExportsTheFiveEntriesAndNothingElseOfItsOwn) {
#ifdef _WIN32
    GTEST_SKIP() << "module_files.sh reads the DLLs' export tables";
#endif
    for (const char* name : {"Tidelisten.so", "Tidespeak.so"}) {
        std::string command = "nm -D --defined-only " + PluginDirectory() + "/" + name + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_TRUE(pipe);
        std::set<std::string> symbols;
        char line[512];
        while (fgets(line, sizeof line, pipe)) {
            std::string text(line);
            size_t space = text.find_last_of(' ');
            std::string symbol = text.substr(space + 1);
            while (!symbol.empty() && (symbol.back() == '\n' || symbol.back() == '\r')) symbol.pop_back();
            // What sanitizer runtimes add is theirs, not the module's.
            if (symbol.rfind("__", 0) == 0 || symbol.rfind("_init", 0) == 0 ||
                symbol.rfind("_fini", 0) == 0 || symbol.rfind("_edata", 0) == 0 ||
                symbol.rfind("_end", 0) == 0)
                continue;
            symbols.insert(symbol);
        }
        pclose(pipe);
        EXPECT_EQ(symbols, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassForm", "DllGetClassInfo",
                                                  "DllGetClassObject", "DllGetInterface"}))
            << name;
    }
}

}  // namespace
}  // namespace tide::testing
