#include "protocol/unit_filter.h"

#include "protocol/vendor.h"

bool IsProgrammingUnit(const UsbIds& ids) {
  return ids.vendorId == MAKER_VENDOR_ID &&
         (ids.productId == PRODUCT_ID_TORVEX || ids.productId == PRODUCT_ID_MAVIRA);
}

ResultCode FindFirstUnit(HidInterfaceWalk& walk, OpenedDevice& out) {
  while (walk.Next()) {
    if (!walk.OpenCurrent()) {
      continue;  // for example held exclusively by another process
    }
    const std::optional<UsbIds> ids = walk.ReadIds();
    if (!ids || !IsProgrammingUnit(*ids)) {
      walk.CloseCurrent();
      continue;
    }
    out = walk.TakeCurrent(ids->productId);
    return RESULT_OK;
  }
  return RESULT_NOT_FOUND;
}
