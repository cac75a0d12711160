#pragma once

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace corvane::testing {

// A row of a case table; gtest and ctest show it by its name.
struct NamedCase {
    const char* name;
    friend std::ostream& operator<<(std::ostream& os, const NamedCase& c) { return os << c.name; }
};

} // namespace corvane::testing

// Runs each row of `table` (rows derived from NamedCase) as a test of its own, named after the
// row, so that ctest lists and reports the cases one by one.
#define CORVANE_NAMED_CASES(suite, table)                                                          \
    INSTANTIATE_TEST_SUITE_P(Cases, suite, ::testing::ValuesIn(table),                             \
                             [](const auto& info) { return std::string(info.param.name); })
