#pragma once
// Settings objects. A class derived from TProxyCodeCustomObject holds a module's settings
// while no options form is open: for every property map line it publishes one property named
// after the line's control path with each "." replaced by "_" (var1.Text -> var1_Text), so
// one map loads and saves either the form or the settings object.

#include "component/component.h"

namespace kvr {

class TProxyCodeCustomObject : public TComponent {
    KVR_REFLECTED_CLASS()
};

} // namespace kvr
