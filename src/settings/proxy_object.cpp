#include "settings/proxy_object.h"

namespace kvr {

const ClassInfo& TProxyCodeCustomObject::StaticClassInfo() {
    static const ClassInfo info = ClassBuilder<TProxyCodeCustomObject>(
                                      "TProxyCodeCustomObject", TComponent::StaticClassInfo())
                                      .build();
    return info;
}

} // namespace kvr
