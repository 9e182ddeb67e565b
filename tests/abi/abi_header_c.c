/* The public header compiles on its own as C, with its size and offset checks. */
#include <kvr/plugin_abi.h>

int kvr_abi_header_compiles_as_c(void) { return (int)sizeof(TPluginCallRec); }
