#pragma once
// The scripting terminology (AETE resource) as Windows hosts read it, described line by line
// for `plughost info`.
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// One line a suite, event, parameter, class, property and enumeration. Throws
// std::runtime_error when the bytes run short or hold an unknown layout version.
std::vector<std::string> DescribeAete(const std::vector<uint8_t>& bytes);

}  // namespace plughost
