#include "component/application.h"

namespace kvr {

const ClassInfo& TApplication::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TApplication>("TApplication", TComponent::StaticClassInfo())
            .ansi_string("HelpFile", &TApplication::HelpFile, &TApplication::SetHelpFile)
            .object<TComponent>("MainForm", &TApplication::MainForm)
            .build();
    return info;
}

TApplication& Application() {
    static TApplication application; // the process's one application object
    return application;
}

} // namespace kvr
