#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The served models: the six-button 401 and 402 and the five-button Tarn,
// in the order the agent's HID manager is told to match them.
inline constexpr std::array<std::int32_t, 3> kOrvandelProductIds = {401, 402, 405};
inline constexpr std::int32_t kTarnProductId = 405;

inline constexpr std::string_view kOrvandelMouseName = "Halvorin Orvandel";
inline constexpr std::string_view kTarnMouseName = "Halvorin Orvandel Tarn";

// The name people know a model by, as the pane shows it.
constexpr std::string_view MouseNameOfProduct(std::int32_t productId) {
    return productId == kTarnProductId ? kTarnMouseName : kOrvandelMouseName;
}
