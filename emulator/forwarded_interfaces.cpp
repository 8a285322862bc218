// HostInterfaceA to HostInterfaceG of the emulated host: every entry records its call.
#include "emulator/forwarded_interfaces.h"

#include "host/ids.h"

namespace tide::emulator {

namespace {

host::Status Record(Ledger& ledger, ForwardLog& log, const char* entry, std::vector<host::Word> words,
                    bool onHostObject = false) {
    if (!ledger.OnHostThread(entry)) return kWrongThread;
    log.push_back(ForwardedCall{entry, std::move(words), onHostObject});
    return host::kOk;
}

}  // namespace

ForwardedA::ForwardedA(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceA", &host::kIidHostInterfaceA, callback), log_(log) {}
host::Status ForwardedA::Entry3(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "A3", {w0, w1});
}
host::Status ForwardedA::Unused4() { return NotProvided(4); }
host::Status ForwardedA::Entry5(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                host::Word w5) {
    return Record(ledger_, log_, "A5", {w0, w1, w2, w3, w4, w5});
}
host::Status ForwardedA::Entry6(host::Word w0) { return Record(ledger_, log_, "A6", {w0}); }
host::Status ForwardedA::Entry7(host::Word w0) { return Record(ledger_, log_, "A7", {w0}); }
host::Status ForwardedA::Entry8(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "A8", {w0, w1, w2});
}
host::Status ForwardedA::Entry9(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "A9", {w0, w1, w2});
}

ForwardedB::ForwardedB(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceB", &host::kIidHostInterfaceB, callback), log_(log) {}
host::Status ForwardedB::Entry3(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "B3", {w0, w1});
}
host::Status ForwardedB::Entry4(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "B4", {w0, w1});
}
host::Status ForwardedB::Entry5(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "B5", {w0, w1});
}
host::Status ForwardedB::Entry6(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "B6", {w0, w1});
}

ForwardedC::ForwardedC(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceC", &host::kIidHostInterfaceC, callback), log_(log) {}
host::Status ForwardedC::Unused3() { return NotProvided(3); }
host::Status ForwardedC::Entry4(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C4", {w0, w1});
}
host::Status ForwardedC::Entry5(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C5", {w0, w1});
}
host::Status ForwardedC::Entry6(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C6", {w0, w1});
}
host::Status ForwardedC::Entry7(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C7", {w0, w1});
}
host::Status ForwardedC::Entry8(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C8", {w0, w1});
}
host::Status ForwardedC::Entry9(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C9", {w0, w1});
}
host::Status ForwardedC::Entry10(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "C10", {w0, w1});
}

ForwardedD::ForwardedD(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceD", &host::kIidHostInterfaceD, callback), log_(log) {}
host::Status ForwardedD::Entry3(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "D3", {w0, w1});
}
host::Status ForwardedD::Entry4(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "D4", {w0, w1});
}

ForwardedE::ForwardedE(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceE", &host::kIidHostInterfaceE, callback), log_(log) {}
host::Status ForwardedE::Entry3(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E3", {w0, w1});
}
host::Status ForwardedE::Entry4(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E4", {w0, w1});
}
host::Status ForwardedE::Entry5(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E5", {w0, w1});
}
host::Status ForwardedE::Entry6(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E6", {w0, w1});
}
host::Status ForwardedE::Entry7(host::Word w0) { return Record(ledger_, log_, "E7", {w0}); }
host::Status ForwardedE::Entry8(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E8", {w0, w1});
}
host::Status ForwardedE::Entry9(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "E9", {w0, w1});
}
host::Status ForwardedE::Unused10() { return NotProvided(10); }
host::Status ForwardedE::Unused11() { return NotProvided(11); }
host::Status ForwardedE::Entry12(host::Word w0) { return Record(ledger_, log_, "E12", {w0}); }

ForwardedF::ForwardedF(Ledger& ledger, host::Unknown* callback, ForwardLog& log, bool onHostObject)
    : CountedInterface(ledger, onHostObject ? "recording host object" : "HostInterfaceF",
                       &host::kIidHostInterfaceF, onHostObject ? nullptr : callback),
      log_(log),
      onHostObject_(onHostObject) {}

ForwardedF* ForwardedF::MakeRecordingObject(Ledger& ledger, ForwardLog& log) {
    auto* object = new ForwardedF(ledger, nullptr, log, true);
    object->TakeInitialReference();
    ledger.AddHostObject(object, "recording host object", [object] { delete object; });
    ++ledger.counters().hostObjectsMade;
    return object;
}

void ForwardedF::OnLastRelease() {
    if (!onHostObject_) return;
    ledger_.RemoveHostObject(this);
    delete this;
}
host::Status ForwardedF::Entry3(host::Word w0) { return Record(ledger_, log_, "F3", {w0}, onHostObject_); }
host::Status ForwardedF::Entry4(host::Word w0) { return Record(ledger_, log_, "F4", {w0}, onHostObject_); }
host::Status ForwardedF::Entry5(host::Word w0) { return Record(ledger_, log_, "F5", {w0}, onHostObject_); }
host::Status ForwardedF::Entry6(host::Word w0) { return Record(ledger_, log_, "F6", {w0}, onHostObject_); }

ForwardedG::ForwardedG(Ledger& ledger, host::Unknown* callback, ForwardLog& log)
    : CountedInterface(ledger, "HostInterfaceG", &host::kIidHostInterfaceG, callback), log_(log) {}
host::Status ForwardedG::Entry3(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4) {
    return Record(ledger_, log_, "G3", {w0, w1, w2, w3, w4});
}
host::Status ForwardedG::Entry4(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G4", {w0, w1});
}
host::Status ForwardedG::Entry5(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "G5", {w0, w1, w2});
}
host::Status ForwardedG::Entry6(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return Record(ledger_, log_, "G6", {w0, w1, w2, w3});
}
host::Status ForwardedG::Entry7(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return Record(ledger_, log_, "G7", {w0, w1, w2, w3});
}
host::Status ForwardedG::Entry8(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return Record(ledger_, log_, "G8", {w0, w1, w2, w3});
}
host::Status ForwardedG::Entry9(host::Word w0, host::Word w1, host::Word w2, host::Word w3) {
    return Record(ledger_, log_, "G9", {w0, w1, w2, w3});
}
host::Status ForwardedG::Entry10(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "G10", {w0, w1, w2});
}
host::Status ForwardedG::Entry11(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "G11", {w0, w1, w2});
}
host::Status ForwardedG::Entry12(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G12", {w0, w1});
}
host::Status ForwardedG::Entry13(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G13", {w0, w1});
}
host::Status ForwardedG::Entry14(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G14", {w0, w1});
}
host::Status ForwardedG::Entry15(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G15", {w0, w1});
}
host::Status ForwardedG::Entry16(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G16", {w0, w1});
}
host::Status ForwardedG::Entry17(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                 host::Word w5) {
    return Record(ledger_, log_, "G17", {w0, w1, w2, w3, w4, w5});
}
host::Status ForwardedG::Entry18(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G18", {w0, w1});
}
host::Status ForwardedG::Entry19(host::Word w0) { return Record(ledger_, log_, "G19", {w0}); }
host::Status ForwardedG::Entry20(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "G20", {w0, w1, w2});
}
host::Status ForwardedG::Entry21(host::Word w0, host::Word w1, host::Word w2) {
    return Record(ledger_, log_, "G21", {w0, w1, w2});
}
host::Status ForwardedG::Entry22(host::Word w0) { return Record(ledger_, log_, "G22", {w0}); }
host::Status ForwardedG::Entry23(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G23", {w0, w1});
}
host::Status ForwardedG::Entry24(host::Word w0, host::Word w1) {
    return Record(ledger_, log_, "G24", {w0, w1});
}

}  // namespace tide::emulator
