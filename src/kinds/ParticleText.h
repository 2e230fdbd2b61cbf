#pragma once
// A text shown as a ticker on a particle band: every frame the band scrolls one column to
// the left, and whenever there is room the next character is drawn at its right edge.

#include "kinds/ParticleDIB.h"

#include <cstdint>
#include <string>

class TParticleText : public TParticleDIB {
public:
    // The band is width columns by the font's height in rows (a negative height counts
    // as its magnitude, and the font is drawn with the positive height so that its whole
    // cell fits the band). Colour and brush are the canvas's: set them on DIB().Canvas().
    TParticleText(const TFont& font, int32_t width);

    // Restarts the ticker at the first character with a clear band. The text is UTF-8;
    // each code point is one character.
    void SetText(const std::string& text);
    // The ticker step, then the cloud's own motion.
    void Move() override;

    const std::string& Text() const { return text_; }
    // 1-based position, in characters, of the next character to draw.
    int32_t CharIndex() const { return charIndex_; }
    // Columns scrolled since the last character was drawn; -1 draws the next one at once.
    int32_t ColumnCounter() const { return columnCounter_; }

private:
    void DrawNextCharacter();

    std::string text_;
    std::u32string characters_;
    int32_t charIndex_ = 1;
    int32_t columnCounter_ = -1;
    // Width of the character at charIndex_, measured when it became the next one.
    int32_t nextWidth_ = 0;
};
