// The server's class table: one creatable class, KorvatExec.
#include "core/class_factory.h"
#include "core/server_module.h"
#include "toolbar/korvat_exec.h"

namespace korvat {

ClassTableEntry g_classTable[] = {
    {&CLSID_KorvatExec,
     &UpdateKorvatExecRegistry,
     &ClassFactory::CreateClassObject,
     &CreateKorvatExec,
     {},
     nullptr,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, {}, nullptr, nullptr},
};

}  // namespace korvat
