#pragma once
// Identifiers of the tasks a simulated tracker runs.
#include "interface_contract/InterfaceId.h"

namespace Kestrel::DeviceSimulator {

constexpr InterfaceContract::InterfaceId trackingTaskId =
    InterfaceContract::makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
constexpr InterfaceContract::InterfaceId debugTaskId =
    InterfaceContract::makeInterfaceId("2AD83E54-9F90-4C8F-9E40-34231CB5F898");

} // namespace Kestrel::DeviceSimulator
