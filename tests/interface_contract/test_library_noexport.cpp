// Test library without the entry point.
#include "interface_contract/Export.h"

KESTREL_EXPORT int testSomethingElse() { return 1; }
