#pragma once
// What a fuzz target asserts about its input. A broken property aborts, and libFuzzer keeps
// the input that broke it. The detail is a function, so that it costs nothing while the
// property holds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

template<typename Detail> void fuzzCheck(bool holds, std::string_view property, Detail&& detail)
{
    if (holds)
        return;
    const std::string text = detail();
    std::fprintf(stderr, "property broken: %.*s\n%s\n", static_cast<int>(property.size()),
                 property.data(), text.c_str());
    std::abort();
}

inline void fuzzCheck(bool holds, std::string_view property)
{
    fuzzCheck(holds, property, [] { return std::string(); });
}

// Bytes as C escapes, for the messages.
inline std::string escaped(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out + "\"";
}
