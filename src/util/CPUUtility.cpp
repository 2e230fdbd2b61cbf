#include "util/CPUUtility.h"

#include "graphics/GfxTool.h"

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define LUMENFALL_X86 1
#endif

namespace {

struct Features {
    bool mmx = false;
    bool now3d = false;
    bool avx2 = false;
    bool avx512 = false;
};

#ifdef LUMENFALL_X86
// A processor accepts CPUID when bit 21 of the flags register can be flipped.
bool CpuidAvailable()
{
    uintptr_t before = 0, after = 0;
#if defined(__x86_64__)
    // Step over the red zone: the pushes below must not clobber a leaf caller's locals.
    asm volatile("sub $128, %%rsp\n\t"
                 "pushfq\n\tpopq %0\n\tmovq %0, %1\n\t"
                 "xorq $0x200000, %0\n\tpushq %0\n\tpopfq\n\t"
                 "pushfq\n\tpopq %0\n\tpushq %1\n\tpopfq\n\t"
                 "add $128, %%rsp"
                 : "=&r"(after), "=&r"(before)
                 :
                 : "cc", "memory");
#else
    asm volatile("pushfl\n\tpopl %0\n\tmovl %0, %1\n\t"
                 "xorl $0x200000, %0\n\tpushl %0\n\tpopfl\n\t"
                 "pushfl\n\tpopl %0\n\tpushl %1\n\tpopfl"
                 : "=&r"(after), "=&r"(before)
                 :
                 : "cc", "memory");
#endif
    return ((after ^ before) & 0x200000u) != 0;
}
#endif

Features Detect()
{
    Features f;
#ifdef LUMENFALL_X86
    if (!CpuidAvailable())
        return f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(1, a, b, c, d);
    f.mmx = (d & 0x800000u) != 0;
    __cpuid(0x80000000u, a, b, c, d);
    if (a >= 0x80000001u) {
        __cpuid(0x80000001u, a, b, c, d);
        f.now3d = (d & 0x80000000u) != 0;
    }
    // The compiler's own check also asks the system whether it saves the AVX registers.
    __builtin_cpu_init();
    f.avx2 = __builtin_cpu_supports("avx2");
    f.avx512 = __builtin_cpu_supports("avx512f");
#endif
    return f;
}

const Features& Detected()
{
    static const Features features = Detect();
    return features;
}

} // namespace

void InitCPUFeatures()
{
    HasMMX = Detected().mmx;
    Has3DNow = Detected().now3d;
    HasAVX2 = Detected().avx2;
    HasAVX512 = Detected().avx512;
}

bool DetectedMMX() { return Detected().mmx; }
bool Detected3DNow() { return Detected().now3d; }
bool DetectedAVX2() { return Detected().avx2; }
bool DetectedAVX512() { return Detected().avx512; }

ScopedCPUFeatures::ScopedCPUFeatures(bool mmx, bool now3d, bool avx2, bool avx512)
    : savedMMX_(HasMMX), saved3DNow_(Has3DNow), savedAVX2_(HasAVX2), savedAVX512_(HasAVX512)
{
    HasMMX = mmx;
    Has3DNow = now3d;
    HasAVX2 = avx2;
    HasAVX512 = avx512;
}

ScopedCPUFeatures::~ScopedCPUFeatures()
{
    HasMMX = savedMMX_;
    Has3DNow = saved3DNow_;
    HasAVX2 = savedAVX2_;
    HasAVX512 = savedAVX512_;
}
