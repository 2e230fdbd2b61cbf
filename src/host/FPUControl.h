#pragma once
// The process-wide floating-point mode. On x86 the x87 control word is managed as the
// program has always done (single precision, truncation); SSE arithmetic is already
// single precision for float and its conversions truncate through TruncToInt, so on
// other processors this only keeps the bookkeeping.

#include <cstdint>

class TFloatingPointUnit {
public:
    TFloatingPointUnit();
    ~TFloatingPointUnit();
    TFloatingPointUnit(const TFloatingPointUnit&) = delete;
    TFloatingPointUnit& operator=(const TFloatingPointUnit&) = delete;

    // Default word 0x037F: all exceptions masked, extended precision, round to nearest.
    // Not loaded into the processor.
    void ResetControlWord();
    // 0 single, 1 double, 2 extended; loads the word and makes it the default.
    void SetPrecision(int mode);
    // 0 nearest, 1 down, 2 up, 3 toward zero; loads the word and makes it the default.
    void SetRounding(int mode);

    uint16_t SavedControlWord() const { return savedControlWord_; }
    uint16_t DefaultControlWord() const { return defaultControlWord_; }
    // The word the processor holds now (the default where there is no x87 unit).
    uint16_t CurrentControlWord() const;

private:
    void Load(uint16_t word);

    uint16_t savedControlWord_;
    uint16_t defaultControlWord_;
};

// The one instance, created on first use and restoring the saved word at exit.
TFloatingPointUnit& FloatingPointUnit();

// The mode every program of the project starts with: the default word reset, single
// precision, truncation.
void SetProgramFloatingPointMode();
