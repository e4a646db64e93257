// Starts user-mode Linux so that it keeps guest FPU state with PTRACE_GETFPREGS/SETFPREGS.
// The 6.1 kernel of Debian 12's user-mode-linux passes the host a fixed-size XSAVE buffer
// through PTRACE_SETREGSET(NT_X86_XSTATE); hosts with larger XSAVE areas (AVX-512, AMX)
// refuse it with EFAULT and the guest's init dies on its first switch. Failing that request
// (and the probe for it) with EIO makes user-mode Linux fall back to the plain FP registers.
// Usage: uml-launcher linux.uml ARGS...
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <linux/audit.h>
#include <linux/elf.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM ARGS...\n", argv[0]);
        return 2;
    }
    constexpr unsigned argumentLow = offsetof(seccomp_data, args);  // little-endian low word
    sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 7),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ptrace, 0, 5),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argumentLow),
            BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, PTRACE_GETREGSET, 0, 3),
            BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, PTRACE_SETREGSET, 2, 0),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argumentLow + 2 * sizeof(__u64)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, NT_X86_XSTATE, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EIO & SECCOMP_RET_DATA)),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0) {
        std::perror("seccomp");
        return 126;
    }
    ::execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
}
