#pragma once

namespace qm::app {

// The program's text is Japanese whatever the user's locale: kanji must take their Japanese
// forms, not the Chinese ones a fallback font of another locale gives.

// Before the application object exists: tells the font matcher that text is Japanese, so that
// any font without kanji (a font an RTF body names, say) falls back to a Japanese font.
void prepareJapaneseText();

// After the application object exists: maps the Windows font names the program and its entries
// use ("ＭＳ Ｐゴシック", "ＭＳ 明朝", ...) to installed Japanese fonts, puts Japanese fonts
// right after the desktop's font in the application font, and makes Japanese the default
// locale.
void useJapaneseFonts();

} // namespace qm::app
