// A command line as the registry or the fallback gives it, split into the program and its
// arguments for the Linux launcher: no argument is empty, and the arguments written back as a
// command line (each in double quotes, a double quote inside as three) split into the very
// same arguments.
#include "fuzz/FuzzCheck.h"
#include "web/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string quoted(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        line += line.empty() ? "\"" : " \"";
        for (const char c : argument)
            line += c == '"' ? std::string("\"\"\"") : std::string(1, c);
        line += '"';
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> arguments = splitCommandLine(line);
    for (const std::string& argument : arguments)
        fuzzCheck(!argument.empty(), "no argument is empty", [&] { return escaped(line); });
    fuzzCheck(commandLineProblem(line).has_value() == arguments.empty(),
              "a line without a program, and only such a line, is refused",
              [&] { return escaped(line); });
    const std::string again = quoted(arguments);
    fuzzCheck(splitCommandLine(again) == arguments, "written back, it splits the same",
              [&] { return escaped(line) + " -> " + escaped(again); });
    return 0;
}
