#include "host/FPUControl.h"

namespace {

constexpr uint16_t kPrecisionBits = 0x0300;
constexpr uint16_t kRoundingBits = 0x0C00;
constexpr uint16_t kInitialWord = 0x037F;

#if defined(__i386__) || defined(__x86_64__)
uint16_t ReadWord()
{
    uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void WriteWord(uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); }
#endif

} // namespace

TFloatingPointUnit::TFloatingPointUnit()
#if defined(__i386__) || defined(__x86_64__)
    : savedControlWord_(ReadWord()), defaultControlWord_(savedControlWord_)
#else
    : savedControlWord_(kInitialWord), defaultControlWord_(kInitialWord)
#endif
{
}

TFloatingPointUnit::~TFloatingPointUnit() { Load(savedControlWord_); }

void TFloatingPointUnit::ResetControlWord() { defaultControlWord_ = kInitialWord; }

void TFloatingPointUnit::SetPrecision(int mode)
{
    uint16_t word = defaultControlWord_ & ~kPrecisionBits;
    if (mode == 1)
        word |= 0x0200;
    else if (mode == 2)
        word |= 0x0300;
    Load(word);
}

void TFloatingPointUnit::SetRounding(int mode)
{
    uint16_t word = defaultControlWord_ & ~kRoundingBits;
    if (mode == 1)
        word |= 0x0400;
    else if (mode == 2)
        word |= 0x0800;
    else if (mode == 3)
        word |= 0x0C00;
    Load(word);
}

uint16_t TFloatingPointUnit::CurrentControlWord() const
{
#if defined(__i386__) || defined(__x86_64__)
    return ReadWord();
#else
    return defaultControlWord_;
#endif
}

void TFloatingPointUnit::Load(uint16_t word)
{
    defaultControlWord_ = word;
#if defined(__i386__) || defined(__x86_64__)
    WriteWord(word);
#endif
}

TFloatingPointUnit& FloatingPointUnit()
{
    static TFloatingPointUnit unit;
    return unit;
}

void SetProgramFloatingPointMode()
{
    TFloatingPointUnit& fpu = FloatingPointUnit();
    fpu.ResetControlWord();
    fpu.SetPrecision(0);
    fpu.SetRounding(3);
}
