// The further host interfaces HostInterfaceA to HostInterfaceG. The plug-ins reach them
// only through MoaUtils' pass-through operations, which neither plug-in calls; their
// entries take pointer-sized words whose meaning is the host's. Unused entries are
// placeholders that keep the used ones at their numbers.
#pragma once

#include <cstdint>

#include "host/component.h"

namespace host {

// One argument of a pass-through entry: a pointer or an integer.
using Word = uintptr_t;

class HostInterfaceA : public Unknown {
public:
    // Entry 3, 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4. Unused.
    virtual Status TIDE_CALL Unused4() = 0;
    // Entry 5, 6 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1, Word w2, Word w3, Word w4, Word w5) = 0;
    // Entry 6, 1 word.
    virtual Status TIDE_CALL Entry6(Word w0) = 0;
    // Entry 7, 1 word.
    virtual Status TIDE_CALL Entry7(Word w0) = 0;
    // Entry 8, 3 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1, Word w2) = 0;
    // Entry 9, 3 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1, Word w2) = 0;

protected:
    ~HostInterfaceA() = default;
};

class HostInterfaceB : public Unknown {
public:
    // Entry 3, 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4, 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5, 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6, 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceB() = default;
};

class HostInterfaceC : public Unknown {
public:
    // Entry 3. Unused.
    virtual Status TIDE_CALL Unused3() = 0;
    // Entry 4, 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5, 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6, 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;
    // Entry 7, 2 words.
    virtual Status TIDE_CALL Entry7(Word w0, Word w1) = 0;
    // Entry 8, 2 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1) = 0;
    // Entry 9, 2 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1) = 0;
    // Entry 10, 2 words.
    virtual Status TIDE_CALL Entry10(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceC() = default;
};

class HostInterfaceD : public Unknown {
public:
    // Entry 3, 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4, 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceD() = default;
};

class HostInterfaceE : public Unknown {
public:
    // Entry 3, 2 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1) = 0;
    // Entry 4, 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5, 2 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1) = 0;
    // Entry 6, 2 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1) = 0;
    // Entry 7, 1 word.
    virtual Status TIDE_CALL Entry7(Word w0) = 0;
    // Entry 8, 2 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1) = 0;
    // Entry 9, 2 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1) = 0;
    // Entry 10. Unused.
    virtual Status TIDE_CALL Unused10() = 0;
    // Entry 11. Unused.
    virtual Status TIDE_CALL Unused11() = 0;
    // Entry 12, 1 word.
    virtual Status TIDE_CALL Entry12(Word w0) = 0;

protected:
    ~HostInterfaceE() = default;
};

class HostInterfaceF : public Unknown {
public:
    // Entry 3, 1 word.
    virtual Status TIDE_CALL Entry3(Word w0) = 0;
    // Entry 4, 1 word.
    virtual Status TIDE_CALL Entry4(Word w0) = 0;
    // Entry 5, 1 word.
    virtual Status TIDE_CALL Entry5(Word w0) = 0;
    // Entry 6, 1 word.
    virtual Status TIDE_CALL Entry6(Word w0) = 0;

protected:
    ~HostInterfaceF() = default;
};

class HostInterfaceG : public Unknown {
public:
    // Entry 3, 5 words.
    virtual Status TIDE_CALL Entry3(Word w0, Word w1, Word w2, Word w3, Word w4) = 0;
    // Entry 4, 2 words.
    virtual Status TIDE_CALL Entry4(Word w0, Word w1) = 0;
    // Entry 5, 3 words.
    virtual Status TIDE_CALL Entry5(Word w0, Word w1, Word w2) = 0;
    // Entry 6, 4 words.
    virtual Status TIDE_CALL Entry6(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 7, 4 words.
    virtual Status TIDE_CALL Entry7(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 8, 4 words.
    virtual Status TIDE_CALL Entry8(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 9, 4 words.
    virtual Status TIDE_CALL Entry9(Word w0, Word w1, Word w2, Word w3) = 0;
    // Entry 10, 3 words.
    virtual Status TIDE_CALL Entry10(Word w0, Word w1, Word w2) = 0;
    // Entry 11, 3 words.
    virtual Status TIDE_CALL Entry11(Word w0, Word w1, Word w2) = 0;
    // Entry 12, 2 words.
    virtual Status TIDE_CALL Entry12(Word w0, Word w1) = 0;
    // Entry 13, 2 words.
    virtual Status TIDE_CALL Entry13(Word w0, Word w1) = 0;
    // Entry 14, 2 words.
    virtual Status TIDE_CALL Entry14(Word w0, Word w1) = 0;
    // Entry 15, 2 words.
    virtual Status TIDE_CALL Entry15(Word w0, Word w1) = 0;
    // Entry 16, 2 words.
    virtual Status TIDE_CALL Entry16(Word w0, Word w1) = 0;
    // Entry 17, 6 words.
    virtual Status TIDE_CALL Entry17(Word w0, Word w1, Word w2, Word w3, Word w4, Word w5) = 0;
    // Entry 18, 2 words.
    virtual Status TIDE_CALL Entry18(Word w0, Word w1) = 0;
    // Entry 19, 1 word.
    virtual Status TIDE_CALL Entry19(Word w0) = 0;
    // Entry 20, 3 words.
    virtual Status TIDE_CALL Entry20(Word w0, Word w1, Word w2) = 0;
    // Entry 21, 3 words.
    virtual Status TIDE_CALL Entry21(Word w0, Word w1, Word w2) = 0;
    // Entry 22, 1 word.
    virtual Status TIDE_CALL Entry22(Word w0) = 0;
    // Entry 23, 2 words.
    virtual Status TIDE_CALL Entry23(Word w0, Word w1) = 0;
    // Entry 24, 2 words.
    virtual Status TIDE_CALL Entry24(Word w0, Word w1) = 0;

protected:
    ~HostInterfaceG() = default;
};

}  // namespace host
