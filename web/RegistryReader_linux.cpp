#include "web/RegistryReader.h"

namespace {

// Linux has no registry: every read fails, so the fallback browser is used.
class NoRegistry final : public RegistryReader
{
public:
    RegistryValue read(const std::string&) override { return {RegistryValue::Kind::Failure, {}}; }
};

}  // namespace

std::unique_ptr<RegistryReader> makeRegistryReader()
{
    return std::make_unique<NoRegistry>();
}
