#include "ChildReset.h"

#include <grp.h>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

ResetOutcome resetInChild(const std::filesystem::path& path, const std::function<bool()>& weaken)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {ResetOutcome::Status::Failed, "no pipe to the child"};
    const pid_t child = ::fork();
    if (child < 0)
        return {ResetOutcome::Status::Failed, "no child"};
    if (child == 0) {
        ::close(channel[0]);
        ResetOutcome outcome{ResetOutcome::Status::Failed, "the child could not give up power"};
        if (weaken())
            outcome = makeAttributeReset()->resetToNormal(path);
        const std::string reply = std::to_string(static_cast<int>(outcome.status)) + ' '
                + std::to_string(static_cast<int>(outcome.cause)) + ' ' + outcome.reason;
        const ssize_t written = ::write(channel[1], reply.data(), reply.size());
        ::_exit(written == static_cast<ssize_t>(reply.size()) ? 0 : 1);
    }
    ::close(channel[1]);
    std::string reply;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0)
        reply.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto space = reply.find(' ');
    const auto second = space == std::string::npos ? space : reply.find(' ', space + 1);
    if (second == std::string::npos)
        return {ResetOutcome::Status::Failed, "the child sent nothing"};
    return {static_cast<ResetOutcome::Status>(std::stoi(reply.substr(0, space))),
            reply.substr(second + 1),
            static_cast<ResetOutcome::Cause>(
                    std::stoi(reply.substr(space + 1, second - space - 1)))};
}

namespace {

bool capabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

}  // namespace

bool hasCapability(int capability)
{
    __user_cap_data_struct data[2]{};
    return capabilities(data) && (data[capability / 32].effective & (1u << (capability % 32))) != 0;
}

bool dropCapability(int capability)
{
    __user_cap_data_struct data[2]{};
    if (!capabilities(data))
        return false;
    data[capability / 32].effective &= ~(1u << (capability % 32));
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool becomeNobody()
{
    constexpr uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
}
