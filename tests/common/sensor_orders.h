#pragma once

// What the simulated sensor received, as order codes, and the order sequences of the scope's
// parameter read.

#include <vector>

#include "parameter_set.h"
#include "request_log.h"

namespace tvx {

inline std::vector<int> Orders(const std::vector<sim::LoggedRequest>& requests) {
    std::vector<int> orders;
    for (const auto& r : requests) orders.push_back(r.Order());
    return orders;
}

// A parameter read: order 8 first from the EEPROM, then order 3 and order 4 for every row.
inline std::vector<int> ReadOrders(bool eeprom) {
    std::vector<int> orders;
    if (eeprom) orders.push_back(8);
    orders.push_back(3);
    orders.insert(orders.end(), kTeachRows, 4);
    return orders;
}

}  // namespace tvx
