#include "StateChunk.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

namespace StateChunk
{
namespace
{
constexpr const char* magic = POLYQUINTA_CHUNK_MAGIC;
constexpr int headerSize = 8;

// The XML parser recurses once per level; a hostile chunk must not be able to
// exhaust the host thread's stack. Real chunks are two levels deep.
constexpr int maxNestingDepth = 200;

// The parser expands entities declared in a document type recursively, without
// a bound; a chunk never needs them, so such a text counts as unreadable.
bool declaresEntities (const std::string& text)
{
    static constexpr std::string_view marker ("<!entity");

    return std::search (text.begin(), text.end(), marker.begin(), marker.end(), [] (char a, char b) {
               return std::tolower ((unsigned char) a) == b;
           })
           != text.end();
}

// The framework's UTF-8 walker skips continuation bytes without looking at
// them, so a broken sequence at the end would carry it past the terminator.
// Only well-formed UTF-8 reaches it: each byte of a broken sequence becomes U+FFFD.
std::string validUtf8 (const char* bytes, size_t length)
{
    const auto* d = reinterpret_cast<const uint8_t*> (bytes);
    std::string result;
    result.reserve (length);

    for (size_t i = 0; i < length;)
    {
        const auto lead = d[i];
        size_t extra = 0;
        uint32_t lowest = 0;

        // clang-format off
        if (lead < 0x80)                        { result += (char) lead; ++i; continue; }
        if (lead >= 0xc2 && lead <= 0xdf)       { extra = 1; lowest = 0x80; }
        else if (lead >= 0xe0 && lead <= 0xef)  { extra = 2; lowest = 0x800; }
        else if (lead >= 0xf0 && lead <= 0xf4)  { extra = 3; lowest = 0x10000; }
        // clang-format on

        bool ok = extra > 0;
        uint32_t codePoint = lead & (0x3fu >> extra);

        for (size_t k = 1; ok && k <= extra; ++k)
        {
            ok = i + k < length && (d[i + k] & 0xc0) == 0x80;
            if (ok)
                codePoint = (codePoint << 6) | (d[i + k] & 0x3fu);
        }

        ok = ok && codePoint >= lowest && codePoint <= 0x10ffff && (codePoint < 0xd800 || codePoint > 0xdfff);

        if (ok)
        {
            result.append (bytes + i, extra + 1);
            i += extra + 1;
        }
        else
        {
            result += "\xef\xbf\xbd";
            ++i;
        }
    }

    return result;
}

// Inside an element, the parser steps back over a processing instruction
// followed by text for ever; a chunk never holds one there.
bool hasInstructionInsideElement (const std::string& text)
{
    for (size_t i = text.find ('<'); i != std::string::npos; i = text.find ('<', i + 1))
        if (i + 1 < text.size() && text[i + 1] != '?' && text[i + 1] != '!')
            return text.find ("<?", i) != std::string::npos;

    return false;
}

// XML allows '&' only as the start of a reference. The parser would take the
// text after a stray one as markup of its own, past the end of that text.
bool hasMalformedReference (const std::string& text)
{
    const auto isNameStart = [] (char c) { return std::isalpha ((unsigned char) c) || c == '_' || c == ':'; };
    const auto isNameChar = [&] (char c) { return isNameStart (c) || std::isdigit ((unsigned char) c) || c == '.' || c == '-'; };

    for (size_t i = text.find ('&'); i != std::string::npos; i = text.find ('&', i + 1))
    {
        size_t j = i + 1;

        if (j < text.size() && text[j] == '#')
        {
            const bool hex = j + 1 < text.size() && (text[j + 1] == 'x' || text[j + 1] == 'X');
            j += hex ? 2 : 1;
            const auto digitsStart = j;

            while (j < text.size() && (hex ? std::isxdigit ((unsigned char) text[j]) : std::isdigit ((unsigned char) text[j])))
                ++j;

            if (j == digitsStart)
                return true;
        }
        else
        {
            if (j >= text.size() || ! isNameStart (text[j]))
                return true;

            while (j < text.size() && isNameChar (text[j]))
                ++j;
        }

        if (j >= text.size() || text[j] != ';')
            return true;
    }

    return false;
}

bool equalsIgnoringAsciiCase (const juce::String& tag, const char* key)
{
    auto p = tag.getCharPointer();

    for (; *key != 0; ++key)
    {
        const auto c = p.getAndAdvance();
        const auto fold = [] (juce::juce_wchar x) { return x >= 'A' && x <= 'Z' ? x + ('a' - 'A') : x; };

        if (fold (c) != fold ((juce::juce_wchar) (unsigned char) *key))
            return false;
    }

    return p.isEmpty();
}

void putLittleEndian32 (uint8_t* d, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[i] = (uint8_t) (v >> (8 * i));
}

uint32_t getLittleEndian32 (const uint8_t* d)
{
    return (uint32_t) d[0] | ((uint32_t) d[1] << 8) | ((uint32_t) d[2] << 16) | ((uint32_t) d[3] << 24);
}
} // namespace

std::string text (const Settings::Values& values)
{
    juce::XmlElement root ("Root");

    for (size_t i = 0; i < values.size(); ++i)
        if (Settings::isWritten ((Settings::Key) i, values[i]))
            root.createNewChildElement (Settings::table[i].key)->addTextElement (juce::String (values[i]));

    return root.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader()).toStdString();
}

void write (const Settings::Values& values, juce::MemoryBlock& dest)
{
    const auto settings = text (values);
    const auto textLength = settings.size();

    dest.setSize (headerSize + textLength + 1, false);
    auto* d = static_cast<uint8_t*> (dest.getData());
    std::memcpy (d, magic, 4);
    putLittleEndian32 (d + 4, (uint32_t) textLength); // the zero byte after the text is not counted
    std::memcpy (d + headerSize, settings.data(), textLength);
    d[headerSize + textLength] = 0;
}

namespace
{
// C-style decimal reading: leading white space, one optional sign, digits up
// to the first non-digit; no digits give 0; saturates at the 32-bit limits.
int32_t parseInteger (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r')
        ++p;

    bool negative = false;

    if (*p == '+' || *p == '-')
        negative = p.getAndAdvance() == '-';

    int64_t magnitude = 0;
    const int64_t limit = negative ? -(int64_t) std::numeric_limits<int32_t>::min()
                                   : (int64_t) std::numeric_limits<int32_t>::max();

    for (; *p >= '0' && *p <= '9'; ++p)
        magnitude = std::min (limit, magnitude * 10 + (*p - '0'));

    return (int32_t) (negative ? -magnitude : magnitude);
}

// Where the tag that starts at `start` ends, stepping over quoted attribute values.
size_t endOfTag (const char* text, size_t length, size_t start)
{
    char quote = 0;
    size_t j = start + 1;

    for (; j < length; ++j)
    {
        if (quote != 0)
        {
            if (text[j] == quote)
                quote = 0;
        }
        else if (text[j] == '"' || text[j] == '\'')
            quote = text[j];
        else if (text[j] == '>')
            break;
    }

    return j;
}

// Deepest element nesting in an XML text (an upper estimate).
int nestingDepth (const char* text, size_t length)
{
    static constexpr std::pair<std::string_view, std::string_view> skipped[] = {
        { "<!--", "-->" }, { "<![CDATA[", "]]>" }, { "<?", "?>" }
    };

    int depth = 0, deepest = 0;
    size_t i = 0;

    while (i < length)
    {
        if (text[i] != '<')
        {
            ++i;
            continue;
        }

        const std::string_view rest (text + i, length - i);
        const auto* skip = std::find_if (std::begin (skipped), std::end (skipped), [&] (auto& s) { return rest.rfind (s.first, 0) == 0; });

        if (skip != std::end (skipped))
        {
            const auto found = rest.find (skip->second);
            i = found == std::string_view::npos ? length : i + found + skip->second.size();
            continue;
        }

        const bool closing = rest.size() > 1 && rest[1] == '/';
        const bool declaration = rest.size() > 1 && rest[1] == '!';
        const size_t j = endOfTag (text, length, i);
        const bool selfClosing = j < length && text[j - 1] == '/';

        if (closing)
            --depth;
        else if (! declaration && ! selfClosing)
            deepest = std::max (deepest, ++depth);

        i = j + 1;
    }

    return deepest;
}
} // namespace

bool read (const void* data, int sizeInBytes, const Store& store)
{
    if (data == nullptr || sizeInBytes <= headerSize)
        return false;

    const auto* d = static_cast<const uint8_t*> (data);

    if (std::memcmp (d, magic, 4) != 0)
        return false;

    const auto declared = (int32_t) getLittleEndian32 (d + 4);

    if (declared <= 0)
        return false;

    // The text is what there is: a shorter chunk or an early zero byte ends it.
    return readText (reinterpret_cast<const char*> (d + headerSize), std::min ((size_t) declared, (size_t) sizeInBytes - headerSize), store);
}

bool readText (const char* textStart, size_t available, const Store& store)
{
    if (textStart == nullptr)
        return false;

    const auto* zero = static_cast<const char*> (std::memchr (textStart, 0, available));
    const auto text = validUtf8 (textStart, zero != nullptr ? (size_t) (zero - textStart) : available);

    if (nestingDepth (text.data(), text.size()) > maxNestingDepth || declaresEntities (text)
        || hasInstructionInsideElement (text) || hasMalformedReference (text))
        return false;

    // A few of the parser's steps move on by one character without looking;
    // trailing white space, which XML ignores after the element, keeps such a
    // step at the very end of the text from leaving the string.
    const auto padded = text + "\n\n\n\n";
    const auto root = juce::XmlDocument::parse (juce::String::fromUTF8 (padded.c_str(), (int) padded.size()));

    if (root == nullptr)
        return false;

    for (auto* child : root->getChildIterator())
        for (int k = 0; k < Settings::count; ++k)
            if (equalsIgnoringAsciiCase (child->getTagName(), Settings::table[(size_t) k].key))
                store ((Settings::Key) k, parseInteger (child->getAllSubText()));

    return true;
}
} // namespace StateChunk
