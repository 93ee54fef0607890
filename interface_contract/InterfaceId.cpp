#include "interface_contract/InterfaceId.h"

#include <cstdio>

namespace Kestrel::InterfaceContract {

std::string toString(const InterfaceId& id) {
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", unsigned(id.data1),
                  unsigned(id.data2), unsigned(id.data3), id.data4[0], id.data4[1], id.data4[2], id.data4[3],
                  id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
    return text;
}

} // namespace Kestrel::InterfaceContract
