#pragma once

#include <vector>

#include "orders.h"
#include "parameter_set.h"
#include "request_log.h"

namespace tvx {

// What the simulated sensor received, as order codes.
inline std::vector<int> Orders(const std::vector<sim::LoggedRequest>& requests) {
    std::vector<int> orders;
    for (const auto& r : requests) orders.push_back(r.Order());
    return orders;
}

// The scope's parameter read: order 8 first from the EEPROM, then order 3 and order 4 per row.
inline std::vector<int> ReadOrders(bool eeprom) {
    std::vector<int> orders(kTeachRows + 1, kOrderReadTeachRow);
    orders[0] = kOrderReadModes;
    if (eeprom) orders.insert(orders.begin(), kOrderLoadEeprom);
    return orders;
}

}  // namespace tvx
