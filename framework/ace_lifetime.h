// ACE's life inside a module. Every script object initialises ACE when it is built and
// finalises it when it is torn down; the module itself keeps ACE initialised from its
// first object on, so that ACE's process-wide state (its logger above all) is never torn
// down while the module can still be called: a later object would otherwise make ACE
// write into what it freed. ACE's logger is silenced for the same span: the modules write
// no log and show no message, ACE's own included. Host's thread only.
#pragma once

namespace tide {

// ACE::init for one script object. The first call of the module also takes the module's
// own initialisation, which it never gives back (ACE's static teardown at unload or exit
// ends it), and silences ACE's logger process-wide, for every thread.
void InitAceForObject();

// ACE::fini for one script object; never the last one while the module is loaded.
void FiniAceForObject();

}  // namespace tide
