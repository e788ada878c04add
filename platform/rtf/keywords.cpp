#include "keywords.h"

#include <unordered_map>

namespace qm::rtf {
namespace {

struct CharacterWord {
    std::string_view word;
    char16_t character;
};

constexpr CharacterWord CharacterWords[] = {
    {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},
    {"qmspace", 0x2005}, {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
    {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D}, {"zwnj", 0x200C},
    {"ltrmark", 0x200E}, {"rtlmark", 0x200F}};

const std::unordered_map<std::string_view, Kw> &keywords()
{
    static const std::unordered_map<std::string_view, Kw> table = [] {
        std::unordered_map<std::string_view, Kw> t = {
            {"ansicpg", Kw::AnsiCpg}, {"ansi", Kw::Ansi}, {"deff", Kw::Deff}, {"uc", Kw::Uc},
            {"u", Kw::U}, {"fonttbl", Kw::FontTable}, {"colortbl", Kw::ColorTable},
            {"fcharset", Kw::FCharset}, {"cpg", Kw::Cpg}, {"red", Kw::Red}, {"green", Kw::Green},
            {"blue", Kw::Blue}, {"f", Kw::F}, {"af", Kw::Af}, {"dbch", Kw::Dbch},
            {"loch", Kw::Loch}, {"hich", Kw::Hich}, {"fs", Kw::Fs}, {"b", Kw::B}, {"i", Kw::I},
            {"ulnone", Kw::UlNone}, {"strike", Kw::Strike}, {"striked", Kw::Strike},
            {"caps", Kw::Caps}, {"v", Kw::V}, {"cf", Kw::Cf}, {"up", Kw::Up}, {"dn", Kw::Dn},
            {"qmoffset", Kw::Offset},
            {"sub", Kw::Sub}, {"super", Kw::Super}, {"nosupersub", Kw::NoSuperSub},
            {"plain", Kw::Plain}, {"pard", Kw::Pard}, {"ql", Kw::Ql}, {"qr", Kw::Qr},
            {"qc", Kw::Qc}, {"qj", Kw::Qj}, {"qd", Kw::Qj}, {"par", Kw::Par},
            {"sect", Kw::Par}, {"page", Kw::Par}, {"line", Kw::Line}, {"tab", Kw::Tab},
            {"cell", Kw::Cell}, {"nestcell", Kw::Cell}, {"row", Kw::Row}, {"nestrow", Kw::Row},
            {"pict", Kw::Pict}, {"pngblip", Kw::PngBlip}, {"jpegblip", Kw::JpegBlip},
            {"emfblip", Kw::OtherBlip}, {"wmetafile", Kw::OtherBlip}, {"macpict", Kw::OtherBlip},
            {"dibitmap", Kw::OtherBlip}, {"wbitmap", Kw::OtherBlip},
            {"pmmetafile", Kw::OtherBlip}, {"picw", Kw::PicW}, {"pich", Kw::PicH},
            {"picwgoal", Kw::PicWGoal}, {"pichgoal", Kw::PicHGoal},
            {"picscalex", Kw::PicScaleX}, {"picscaley", Kw::PicScaleY}, {"bin", Kw::Bin},
            {"footnote", Kw::Footnote}, {"upr", Kw::Upr}, {"ud", Kw::Ud}};
        for (const char *w : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                              "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                              "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(w, Kw::Ul);
        // Destinations whose content is not document text, or repeats it (\nonesttables holds
        // nested tables again as plain paragraphs for readers that cannot nest them).
        for (const char *w :
             {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer",
              "footerl", "footerr", "footerf", "annotation", "nonshppict", "fldinst",
              "listtable", "listoverridetable", "revtbl", "filetbl", "pn", "xe", "tc", "txe",
              "rxe", "objdata", "objclass", "do", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
              "aftnsepc", "aftncn", "template", "bkmkstart", "bkmkend", "rsidtbl", "generator",
              "themedata", "colorschememapping", "datastore", "latentstyles", "xmlnstbl",
              "pgdsctbl", "fchars", "lchars", "pxe", "comment", "title", "subject", "author",
              "operator", "keywords", "doccomm", "company", "falt", "panose", "shpinst",
              "nonesttables"})
            t.emplace(w, Kw::SkipDestination);
        // Destinations that hold document text even when marked \*.
        for (const char *w : {"shppict", "fldrslt", "result", "field", "shp", "shprslt"})
            t.emplace(w, Kw::TransparentDestination);
        for (const CharacterWord &c : CharacterWords)
            t.emplace(c.word, Kw::Character);
        return t;
    }();
    return table;
}

} // namespace

Kw lookupKeyword(std::string_view word)
{
    const auto &table = keywords();
    const auto it = table.find(word);
    return it == table.end() ? Kw::Unknown : it->second;
}

char16_t keywordCharacter(std::string_view word)
{
    for (const CharacterWord &c : CharacterWords) {
        if (c.word == word)
            return c.character;
    }
    return 0xFFFD;
}

} // namespace qm::rtf
