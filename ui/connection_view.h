#pragma once

#include "protocol/result_code.h"
#include "protocol/device_event.h"

namespace ConnectionView {

void ShowStartupState(ResultCode openResult);
// Nonzero for arrival and removal-complete events (handled or not), 0 for any other code.
int OnDeviceChange(const DeviceEvent& event);

enum class Moment { Startup, Arrival };
void Classify(Moment moment);

}  // namespace ConnectionView
