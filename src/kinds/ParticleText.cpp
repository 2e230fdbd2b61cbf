#include "kinds/ParticleText.h"

#include <QString>

#include <algorithm>
#include <cstdlib>

namespace {

TFont WithPositiveHeight(TFont font)
{
    font.Height = int32_t(std::min<int64_t>(std::abs(int64_t(font.Height)), INT32_MAX));
    return font;
}

} // namespace

TParticleText::TParticleText(const TFont& font, int32_t width)
    : TParticleDIB(width, WithPositiveHeight(font).Height)
{
    DIB().Canvas().SetFont(WithPositiveHeight(font));
}

void TParticleText::SetText(const std::string& text)
{
    charIndex_ = 1;
    columnCounter_ = -1;
    text_ = text;
    // Decoded once here so that frames only index; malformed UTF-8 becomes U+FFFD.
    characters_ = QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU32String();
    DIB().FillRect({0, 0, DIB().Width() - 1, DIB().Height() - 1}, 0);
}

void TParticleText::Move()
{
    if (!characters_.empty() && (columnCounter_ < 0 || nextWidth_ < columnCounter_))
        DrawNextCharacter();
    DIB().ScrollLeft(1);
    // An empty text scrolls forever; the counter must not overflow meanwhile.
    if (columnCounter_ < INT32_MAX)
        ++columnCounter_;
    TParticleDIB::Move();
}

void TParticleText::DrawNextCharacter()
{
    TDIBRaster& dib = DIB();
    TCanvas& canvas = dib.Canvas();
    const char32_t character = characters_[size_t(charIndex_ - 1)];
    const int32_t width = canvas.TextWidth(character);
    const int32_t left = dib.Width() - width - 1;
    columnCounter_ = 0;
    dib.FillRect({left, 0, dib.Width() - 1, dib.Height() - 1}, 0);
    // Control characters show as spaces but keep their own width.
    canvas.TextOut(left, 0, character < 32 ? U' ' : character);
    // Every character is drawn, the last one too, before the ticker starts over.
    charIndex_ = charIndex_ % int32_t(characters_.size()) + 1;
    nextWidth_ = canvas.TextWidth(characters_[size_t(charIndex_ - 1)]);
}
