#pragma once

#include <QStringView>

#include <cstdint>
#include <string_view>

namespace qm::rtf {

// The value of a hexadecimal digit, -1 for any other character.
int hexValue(char16_t c);

// Splits RTF into tokens one at a time. It keeps no stack: groups are reported as open/close
// tokens and the reader tracks them, so nesting depth costs nothing here. Every step consumes
// input, and control words and numbers are bounded, so any input ends in linear time.
class Tokenizer final {
public:
    enum class Kind : std::uint8_t { End, GroupOpen, GroupClose, Word, Symbol, Byte, Text };

    struct Token {
        Kind kind = Kind::End;
        std::string_view word;  // Word: its letters; empty for a word longer than MaxWordLength
        bool hasParam = false;  // Word: a numeric parameter followed the letters
        int param = 0;          // Word: the parameter, saturated to the int range
        char16_t symbol = 0;    // Symbol: the character after the backslash ('\n' for \<CR/LF>)
        std::uint8_t byte = 0;  // Byte: from \'hh, or a raw 8-bit byte of byte input
        QStringView text;       // Text: a run of ordinary characters
    };

    static constexpr int MaxWordLength = 32;

    // With rawBytes, the input holds one byte per character (a file read as Latin-1) and
    // characters 0x80-0xFF are reported as Byte tokens to be decoded by the current code page.
    // Otherwise the input is already text and such characters are ordinary text.
    Tokenizer(QStringView input, bool rawBytes);

    Token next();

    // The data of `\binN`: up to count characters, never more than what is left.
    QStringView takeBinary(int count);

    qsizetype position() const { return m_pos; }

    static bool isIgnored(char16_t c);

private:
    bool isPlain(char16_t c) const;
    bool escape(Token &token);
    void readWord(Token &token);

    QStringView m_in;
    qsizetype m_pos = 0;
    bool m_rawBytes = false;
    char m_word[MaxWordLength]{};
};

} // namespace qm::rtf
