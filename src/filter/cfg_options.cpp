#include "filter/cfg_options.h"

#include "filter/plugin_dm.h"
#include "plugin/map_values.h"

namespace kvr {

const ClassInfo& TProxyCodeObject::StaticClassInfo() {
    static const ClassInfo info = [] {
        ClassBuilder<TProxyCodeObject> builder("TProxyCodeObject",
                                               TProxyCodeCustomObject::StaticClassInfo());
        builder.integer("Left", &TProxyCodeObject::Left)
            .integer("Top", &TProxyCodeObject::Top)
            .integer("Height", &TProxyCodeObject::Height)
            .integer("Width", &TProxyCodeObject::Width);
        for (size_t i = 0; i < 8; ++i)
            builder.ansi_string(
                "var" + std::to_string(i + 1) + "_Text",
                [i](TProxyCodeObject& o) { return o.VarText[i]; },
                [i](TProxyCodeObject& o, std::string text) { o.VarText[i] = std::move(text); });
        builder.floating("spTimeout_Value", &TProxyCodeObject::spTimeout_Value)
            .boolean("chkNoReset_Checked", &TProxyCodeObject::chkNoReset_Checked);
        return builder.build();
    }();
    return info;
}

const ClassInfo& TDataSourceCfg::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TDataSourceCfg>("TDataSourceCfg", TProxyCodeObject::StaticClassInfo()).build();
    return info;
}

void TDataSourceCfg::LoadSettings() {
    LoadMapValues(owner_, &owner_.Properties, this);
    owner_.ApplySettings(*this);
}

bool TDataSourceCfg::SaveSettings() {
    return SaveMapValues(owner_, &owner_.Properties, this);
}

const char* const kAggregationPropertyMap[17] = {
    "",
    "Left,Left",
    "Top,Top",
    "Height,Height",
    "Width,Width",
    ";---short---",
    "var1.Text,Var1",
    "var2.Text,Var2",
    "var3.Text,Var3",
    "var4.Text,Var4",
    "var5.Text,Var5",
    "var6.Text,Var6",
    "var7.Text,Var7",
    "var8.Text,Var8",
    "spTimeout.Value,Timeout",
    "chkNoReset.Checked,No reset",
    " ",
};

} // namespace kvr
