// The further host interfaces HostInterfaceA to HostInterfaceG. The plug-ins reach them
// only through MoaUtils' pass-through operations (ForwardA3 and the rest, each named by
// its interface and entry), which neither plug-in calls. Each entry takes pointer-sized
// words whose meaning is the host's, passed on unchanged and in order, and answers the
// host's status, which the pass-through returns unchanged. Host's thread only. The
// emulated host records every call of a used entry with its words and answers 0.
#pragma once

#include <cstdint>

#include "host/component.h"

namespace host {

// One argument of a pass-through entry: a pointer or an integer, pointer-sized so that
// a pointer passes whole.
using Word = uintptr_t;

class HostInterfaceA : public Unknown {
public:
    // Entry 3 (ForwardA3), 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4. Unused.
    virtual Status TIDE_CALL Unused4() = 0;
    // Entry 5 (ForwardA5), 6 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1, Word w2, Word w3, Word w4, Word w5) = 0;
    // Entry 6 (ForwardA6), 1 word.
    virtual Status TIDE_CALL Entry6(Word w0) = 0;
    // Entry 7 (ForwardA7), 1 word.
    virtual Status TIDE_CALL Entry7(Word w0) = 0;
    // Entry 8 (ForwardA8), 3 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1, Word w2) = 0;
    // Entry 9 (ForwardA9), 3 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1, Word w2) = 0;

protected:
    ~HostInterfaceA() = default;
};

class HostInterfaceB : public Unknown {
public:
    // Entry 3 (ForwardB3), 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4 (ForwardB4), 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5 (ForwardB5), 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6 (ForwardB6), 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceB() = default;
};

class HostInterfaceC : public Unknown {
public:
    // Entry 3. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    // Entry 4 (ForwardC4), 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5 (ForwardC5), 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6 (ForwardC6), 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;
    // Entry 7 (ForwardC7), 2 words.
    virtual Status TIDE_CALL Entry7(Word w0, Word w1) = 0;
    // Entry 8 (ForwardC8), 2 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1) = 0;
    // Entry 9 (ForwardC9), 2 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1) = 0;
    // Entry 10 (ForwardC10), 2 words.
    virtual Status TIDE_CALL Entry10(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceC() = default;
};

class HostInterfaceD : public Unknown {
public:
    // Entry 3 (ForwardD3), 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4 (ForwardD4), 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceD() = default;
};

class HostInterfaceE : public Unknown {
public:
    // Entry 3 (ForwardE3), 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4 (ForwardE4), 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5 (ForwardE5), 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6 (ForwardE6), 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;
    // Entry 7 (ForwardE7), 1 word.
    virtual Status TIDE_CALL Entry7(Word w0) = 0;
    // Entry 8 (ForwardE8), 2 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1) = 0;
    // Entry 9 (ForwardE9), 2 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1) = 0;
    // Entry 10. Unused.
    virtual Status TIDE_CALL Unused10() = 0;
    // Entry 11. Unused.
    virtual Status TIDE_CALL Unused11() = 0;
    // Entry 12 (ForwardE12), 1 word.
    virtual Status TIDE_CALL Entry12(Word w0) = 0;

protected:
    ~HostInterfaceE() = default;
};

// HostInterfaceF is queried on a host object the caller gives, never on the callback; the
// object itself is not passed on, only the one word.
class HostInterfaceF : public Unknown {
public:
    // Entry 3 (ForwardF3), 1 word.
    virtual Status TIDE_CALL Entry3(Word w0) = 0;
    // Entry 4 (ForwardF4), 1 word.
    virtual Status TIDE_CALL Entry4(Word w0) = 0;
    // Entry 5 (ForwardF5), 1 word.
    virtual Status TIDE_CALL Entry5(Word w0) = 0;
    // Entry 6 (ForwardF6), 1 word.
    virtual Status TIDE_CALL Entry6(Word w0) = 0;

protected:
    ~HostInterfaceF() = default;
};

class HostInterfaceG : public Unknown {
public:
    // Entry 3 (ForwardG3), 5 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1, Word w2, Word w3, Word w4) = 0;
    // Entry 4 (ForwardG4), 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5 (ForwardG5), 3 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1, Word w2) = 0;
    // Entry 6 (ForwardG6), 4 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 7 (ForwardG7), 4 words.
    virtual Status TIDE_CALL Entry7(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 8 (ForwardG8), 4 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 9 (ForwardG9), 4 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 10 (ForwardG10), 3 words.
    virtual Status TIDE_CALL Entry10(Word w0, Word w1, Word w2) = 0;
    // Entry 11 (ForwardG11), 3 words.
    virtual Status TIDE_CALL Entry11(Word w0, Word w1, Word w2) = 0;
    // Entry 12 (ForwardG12), 2 words.
    virtual Status TIDE_CALL Entry12(Word w0, Word w1) = 0;
    // Entry 13 (ForwardG13), 2 words.
    virtual Status TIDE_CALL Entry13(Word w0, Word w1) = 0;
    // Entry 14 (ForwardG14), 2 words.
    virtual Status TIDE_CALL Entry14(Word w0, Word w1) = 0;
    // Entry 15 (ForwardG15), 2 words.
    virtual Status TIDE_CALL Entry15(Word w0, Word w1) = 0;
    // Entry 16 (ForwardG16), 2 words.
    virtual Status TIDE_CALL Entry16(Word w0, Word w1) = 0;
    // Entry 17 (ForwardG17), 6 words.
    virtual Status TIDE_CALL Entry17(Word w0, Word w1, Word w2, Word w3, Word w4, Word w5) = 0;
    // Entry 18 (ForwardG18), 2 words.
    virtual Status TIDE_CALL Entry18(Word w0, Word w1) = 0;
    // Entry 19 (ForwardG19), 1 word.
    virtual Status TIDE_CALL Entry19(Word w0) = 0;
    // Entry 20 (ForwardG20), 3 words.
    virtual Status TIDE_CALL Entry20(Word w0, Word w1, Word w2) = 0;
    // Entry 21 (ForwardG21), 3 words.
    virtual Status TIDE_CALL Entry21(Word w0, Word w1, Word w2) = 0;
    // Entry 22 (ForwardG22), 1 word.
    virtual Status TIDE_CALL Entry22(Word w0) = 0;
    // Entry 23 (ForwardG23), 2 words.
    virtual Status TIDE_CALL Entry23(Word w0, Word w1) = 0;
    // Entry 24 (ForwardG24), 2 words.
    virtual Status TIDE_CALL Entry24(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceG() = default;
};

}  // namespace host
