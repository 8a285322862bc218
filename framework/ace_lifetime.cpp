// ACE held for the module's life, its logger silent.
#include "framework/ace_lifetime.h"

#include <ace/Init_ACE.h>
#include <ace/Log_Msg.h>

namespace tide {

namespace {

// Every priority off, for the whole process and for this thread; threads that ACE's
// logger meets later start from the default mask, which is empty. Nothing is written
// anywhere even if some code turns a priority back on.
void SilenceAceLogger() {
    ACE_Log_Msg* log = ACE_Log_Msg::instance();
    if (!log) return;
    log->priority_mask(0, ACE_Log_Msg::PROCESS);
    log->priority_mask(0, ACE_Log_Msg::THREAD);
    log->clr_flags(ACE_Log_Msg::STDERR | ACE_Log_Msg::LOGGER | ACE_Log_Msg::OSTREAM |
                   ACE_Log_Msg::MSG_CALLBACK | ACE_Log_Msg::SYSLOG | ACE_Log_Msg::CUSTOM);
    log->set_flags(ACE_Log_Msg::SILENT);
}

bool HoldAceForModule() {
    ACE::init();
    SilenceAceLogger();
    return true;
}

}  // namespace

void InitAceForObject() {
    static const bool held = HoldAceForModule();
    (void)held;
    ACE::init();
}

void FiniAceForObject() { ACE::fini(); }

}  // namespace tide
