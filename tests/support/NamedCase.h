#pragma once
// The cases of a table-driven test: each names itself, and that name is what a failure prints
// for it and what its test is called.
#include <concepts>
#include <ostream>
#include <string>

namespace tables {

// The first member of every case: `struct FlagCase : tables::NamedCase { ... };`, written as
// `{"name", ...}` in the table.
struct NamedCase
{
    const char* name;
};

// Found through the case's base; preferred to GoogleTest's own printer, which would dump bytes.
template<std::derived_from<NamedCase> Case> void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

// The last argument of INSTANTIATE_TEST_SUITE_P: each test called after its case.
inline constexpr auto caseName = [](const auto& test) {
    return std::string(test.param.name);
};

}  // namespace tables
