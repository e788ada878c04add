#pragma once

#include <cstdint>
#include <string_view>

namespace qm::rtf {

// The control words the reader acts on.
enum class Kw : std::uint8_t {
    Unknown,
    AnsiCpg, Ansi, Deff, Uc, U,
    FontTable, ColorTable, FCharset, Cpg, Red, Green, Blue,
    F, Af, Dbch, Loch, Hich, Fs, B, I, Ul, UlNone, Strike, Caps, V, Cf, Up, Dn, Offset,
    Sub, Super, NoSuperSub, Plain,
    Pard, Ql, Qr, Qc, Qj, Par, Line, Tab, Cell, Row,
    Pict, PngBlip, JpegBlip, OtherBlip, PicW, PicH, PicWGoal, PicHGoal, PicScaleX, PicScaleY, Bin,
    SkipDestination, TransparentDestination, Footnote, Upr, Ud,
    Character, // a word that stands for one character, see keywordCharacter()
};

// The meaning of a control word; Kw::Unknown for words that are skipped.
Kw lookupKeyword(std::string_view word);
// The character a Kw::Character word stands for (\emdash, \lquote, ...).
char16_t keywordCharacter(std::string_view word);

} // namespace qm::rtf
