#include "KLV/XmlNesting.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsXmlBlank(char character)
{
    return character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

// Characters of an element name: anything but blanks, '/', '>', '?' and NUL.
bool IsNameCharacter(char character)
{
    return character != '\0' && !IsXmlBlank(character) && character != '/' && character != '>' &&
           character != '?';
}

// Characters of an attribute name: an element name's, less '<', '=' and '!'.
bool IsAttributeNameCharacter(char character)
{
    return IsNameCharacter(character) && character != '<' && character != '=' && character != '!';
}

class CNestingWalk
{
  public:
    explicit CNestingWalk(std::string_view text) : m_text(text) {}

    bool Within(int maxDepth)
    {
        int depth = 0;
        while (m_position < m_text.size()) {
            const std::size_t open = m_text.find('<', m_position);
            if (open == npos)
                return true;
            m_position = open + 1;
            switch (Peek(0)) {
            case '/':
                // A closing tag outside every element stops the parser.
                if (--depth < 0 || !SkipPast(">"))
                    return true;
                break;
            case '?':
                if (!SkipPast("?>"))
                    return true;
                break;
            case '!':
                if (!SkipDeclaration())
                    return true;
                break;
            default: {
                const Tag tag = ReadTag();
                if (tag == Tag::Broken)
                    return true;
                if (tag == Tag::Open && ++depth > maxDepth)
                    return false;
                break;
            }
            }
        }
        return true;
    }

  private:
    enum class Tag
    {
        Open,
        Empty,
        Broken,
    };

    char Peek(std::size_t ahead) const
    {
        const std::size_t at = m_position + ahead;
        return at < m_text.size() ? m_text[at] : '\0';
    }

    bool StartsWith(std::string_view word) const
    {
        return m_text.substr(m_position, word.size()) == word;
    }

    bool SkipPast(std::string_view end)
    {
        const std::size_t found = m_text.find(end, m_position);
        if (found == npos)
            return false;
        m_position = found + end.size();
        return true;
    }

    void SkipWhile(bool (*accept)(char))
    {
        while (m_position < m_text.size() && accept(m_text[m_position]))
            ++m_position;
    }

    // After "<!": a comment, CDATA, a DOCTYPE (its brackets nest) or anything up to '>'.
    bool SkipDeclaration()
    {
        if (StartsWith("!--")) {
            m_position += 3;
            return SkipPast("-->");
        }
        if (StartsWith("![CDATA[")) {
            m_position += 8;
            return SkipPast("]]>");
        }
        if (StartsWith("!DOCTYPE") && IsXmlBlank(Peek(8))) {
            m_position += 9;
            while (m_position < m_text.size() && m_text[m_position] != '>') {
                if (m_text[m_position++] != '[')
                    continue;
                for (int brackets = 1; brackets > 0; ++m_position) {
                    if (m_position >= m_text.size())
                        return false;
                    brackets += m_text[m_position] == '[' ? 1 : m_text[m_position] == ']' ? -1 : 0;
                }
            }
            ++m_position;
            return m_position <= m_text.size();
        }
        return SkipPast(">");
    }

    // After "<": the element's name and attributes up to ">" or "/>".
    Tag ReadTag()
    {
        const std::size_t nameStart = m_position;
        SkipWhile(IsNameCharacter);
        if (m_position == nameStart)
            return Tag::Broken;
        SkipWhile(IsXmlBlank);
        while (m_position < m_text.size() && IsAttributeNameCharacter(m_text[m_position])) {
            SkipWhile(IsAttributeNameCharacter);
            SkipWhile(IsXmlBlank);
            if (Peek(0) != '=')
                return Tag::Broken;
            ++m_position;
            SkipWhile(IsXmlBlank);
            const char quote = Peek(0);
            if (quote != '"' && quote != '\'')
                return Tag::Broken;
            ++m_position;
            if (!SkipPast(std::string_view(&quote, 1)))
                return Tag::Broken;
            SkipWhile(IsXmlBlank);
        }
        if (Peek(0) == '>') {
            ++m_position;
            return Tag::Open;
        }
        if (Peek(0) == '/' && Peek(1) == '>') {
            m_position += 2;
            return Tag::Empty;
        }
        return Tag::Broken;
    }

    std::string_view m_text;
    std::size_t m_position = 0;
};

} // namespace

bool XmlNestingWithin(std::string_view text, int maxDepth)
{
    // The parser reads up to the first NUL only.
    return CNestingWalk(text.substr(0, text.find('\0'))).Within(maxDepth);
}
