// HostInterfaceA to HostInterfaceG of the emulated host. The plug-ins only pass calls
// through to them, so each entry records that it was called, with its words, and
// answers 0. Also a host object a test can make that answers HostInterfaceF itself.
// Host's thread only.
#pragma once

#include <string>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/forwarded.h"

namespace tide::emulator {

// One call of a forwarded entry: "A5", "G17", ...; `onHostObject` for a recording host
// object's own HostInterfaceF (not the one the callback hands out).
struct ForwardedCall {
    std::string entry;
    std::vector<host::Word> words;
    bool onHostObject = false;
};

using ForwardLog = std::vector<ForwardedCall>;

class ForwardedA final : public CountedInterface<host::HostInterfaceA> {
public:
    ForwardedA(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Unused4() override;
    host::Status TIDE_CALL Entry5(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                  host::Word w5) override;
    host::Status TIDE_CALL Entry6(host::Word w0) override;
    host::Status TIDE_CALL Entry7(host::Word w0) override;
    host::Status TIDE_CALL Entry8(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry9(host::Word w0, host::Word w1, host::Word w2) override;

private:
    ForwardLog& log_;
};

class ForwardedB final : public CountedInterface<host::HostInterfaceB> {
public:
    ForwardedB(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry4(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry5(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry6(host::Word w0, host::Word w1) override;

private:
    ForwardLog& log_;
};

class ForwardedC final : public CountedInterface<host::HostInterfaceC> {
public:
    ForwardedC(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Unused3() override;
    host::Status TIDE_CALL Entry4(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry5(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry6(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry7(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry8(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry9(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry10(host::Word w0, host::Word w1) override;

private:
    ForwardLog& log_;
};

class ForwardedD final : public CountedInterface<host::HostInterfaceD> {
public:
    ForwardedD(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry4(host::Word w0, host::Word w1) override;

private:
    ForwardLog& log_;
};

class ForwardedE final : public CountedInterface<host::HostInterfaceE> {
public:
    ForwardedE(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry4(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry5(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry6(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry7(host::Word w0) override;
    host::Status TIDE_CALL Entry8(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry9(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Unused10() override;
    host::Status TIDE_CALL Unused11() override;
    host::Status TIDE_CALL Entry12(host::Word w0) override;

private:
    ForwardLog& log_;
};

class ForwardedF final : public CountedInterface<host::HostInterfaceF> {
public:
    // `onHostObject`: the entries are a recording host object's, not the callback's.
    ForwardedF(Ledger& ledger, host::Unknown* callback, ForwardLog& log, bool onHostObject = false);
    // A host object of its own that answers only HostInterfaceF, with one reference for
    // the caller; it leaves the books with its last release.
    static ForwardedF* MakeRecordingObject(Ledger& ledger, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0) override;
    host::Status TIDE_CALL Entry4(host::Word w0) override;
    host::Status TIDE_CALL Entry5(host::Word w0) override;
    host::Status TIDE_CALL Entry6(host::Word w0) override;

protected:
    void OnLastRelease() override;

private:
    ForwardLog& log_;
    bool onHostObject_;
};

class ForwardedG final : public CountedInterface<host::HostInterfaceG> {
public:
    ForwardedG(Ledger& ledger, host::Unknown* callback, ForwardLog& log);
    host::Status TIDE_CALL Entry3(host::Word w0, host::Word w1, host::Word w2, host::Word w3,
                                  host::Word w4) override;
    host::Status TIDE_CALL Entry4(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry5(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry6(host::Word w0, host::Word w1, host::Word w2, host::Word w3) override;
    host::Status TIDE_CALL Entry7(host::Word w0, host::Word w1, host::Word w2, host::Word w3) override;
    host::Status TIDE_CALL Entry8(host::Word w0, host::Word w1, host::Word w2, host::Word w3) override;
    host::Status TIDE_CALL Entry9(host::Word w0, host::Word w1, host::Word w2, host::Word w3) override;
    host::Status TIDE_CALL Entry10(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry11(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry12(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry13(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry14(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry15(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry16(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry17(host::Word w0, host::Word w1, host::Word w2, host::Word w3, host::Word w4,
                                   host::Word w5) override;
    host::Status TIDE_CALL Entry18(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry19(host::Word w0) override;
    host::Status TIDE_CALL Entry20(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry21(host::Word w0, host::Word w1, host::Word w2) override;
    host::Status TIDE_CALL Entry22(host::Word w0) override;
    host::Status TIDE_CALL Entry23(host::Word w0, host::Word w1) override;
    host::Status TIDE_CALL Entry24(host::Word w0, host::Word w1) override;

private:
    ForwardLog& log_;
};

}  // namespace tide::emulator
