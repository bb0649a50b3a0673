#include "RtfDeencapsulator.h"

#include "Charsets.h"

#include <map>
#include <vector>

namespace kestrel::platform::msg {

namespace {

constexpr int MaxDepth = 1000; // deeper groups are read flat

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int codepageForFontCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0; // the document's default page
    }
}

bool isSkippedDestination(const QByteArray& word)
{
    static const char* const names[] = {
        "fonttbl",      "colortbl",
        "stylesheet",   "info",
        "pict",         "object",
        "header",       "footer",
        "headerl",      "headerr",
        "footerl",      "footerr",
        "listtable",    "listoverridetable",
        "revtbl",       "rsidtbl",
        "generator",    "xmlnstbl",
        "themedata",    "colorschememapping",
        "latentstyles", "datastore",
        "fldinst",      "mmathPr",
        "pgdsctbl",     "filetbl",
        "operator",     "author",
        "title",        "company",
        "nonshppict",   "private",
        "bkmkstart",    "bkmkend",
    };
    for (const char* name : names) {
        if (word == name)
            return true;
    }
    return false;
}

struct GroupState {
    bool skip = false;
    bool htmlRtf = false;
    bool inHtmlTag = false;
    bool inFontTable = false;
    int ucSkip = 1;
    int fontCodepage = 0;
};

class Parser {
public:
    explicit Parser(const QByteArray& rtf) : m_in(rtf) {}

    QString run()
    {
        m_kind = rtfKind(m_in);
        std::vector<GroupState> stack;
        GroupState state;
        bool groupStart = false;
        bool ignorable = false;
        int depth = 0;
        int pendingSkip = 0; // characters still to drop after \uN
        const qsizetype n = m_in.size();
        qsizetype i = 0;
        while (i < n) {
            const char c = m_in[i];
            if (c == '{') {
                ++i;
                if (depth < MaxDepth)
                    stack.push_back(state);
                ++depth;
                groupStart = true;
                ignorable = false;
                continue;
            }
            if (c == '}') {
                ++i;
                if (depth > 0) {
                    if (depth <= MaxDepth && !stack.empty()) {
                        state = stack.back();
                        stack.pop_back();
                    }
                    --depth;
                }
                groupStart = false;
                continue;
            }
            if (c == '\\') {
                if (i + 1 >= n)
                    break;
                const char d = m_in[i + 1];
                if (isLetter(d)) {
                    qsizetype j = i + 1;
                    while (j < n && isLetter(m_in[j]) && j - i <= 32)
                        ++j;
                    const QByteArray word = m_in.mid(i + 1, j - i - 1);
                    bool hasParam = false;
                    long long param = 0;
                    bool negative = false;
                    if (j < n && m_in[j] == '-') {
                        negative = true;
                        ++j;
                    }
                    int digits = 0;
                    while (j < n && m_in[j] >= '0' && m_in[j] <= '9' && digits < 10) {
                        param = param * 10 + (m_in[j] - '0');
                        ++j;
                        ++digits;
                        hasParam = true;
                    }
                    if (negative)
                        param = -param;
                    if (j < n && m_in[j] == ' ')
                        ++j;
                    i = j;
                    if (groupStart) {
                        groupStart = false;
                        if (word == "htmltag" && ignorable) {
                            state.inHtmlTag = true;
                            state.skip = state.skip || m_kind != RtfKind::Html;
                            continue;
                        }
                        if (word == "fonttbl") {
                            state.skip = true;
                            state.inFontTable = true;
                            continue;
                        }
                        if (ignorable || isSkippedDestination(word)) {
                            state.skip = true;
                            continue;
                        }
                    }
                    if (word == "bin" && hasParam && param > 0) {
                        i = std::min<qsizetype>(n, i + qsizetype(param));
                        continue;
                    }
                    controlWord(word, hasParam, param, state, pendingSkip);
                    continue;
                }
                i += 2;
                if (d == '*') {
                    ignorable = true;
                    continue;
                }
                groupStart = false;
                if (d == '\'') {
                    if (i + 2 > n)
                        break;
                    bool ok = false;
                    const int byte = m_in.mid(i, 2).toInt(&ok, 16);
                    i += 2;
                    if (!ok)
                        continue;
                    if (pendingSkip > 0) {
                        --pendingSkip;
                        continue;
                    }
                    if (active(state))
                        emitByte(char(byte), state);
                    continue;
                }
                if (d == '\r' || d == '\n') {
                    if (active(state))
                        emitText(QStringLiteral("\r\n"));
                    continue;
                }
                QString symbol;
                if (d == '\\' || d == '{' || d == '}')
                    symbol = QChar::fromLatin1(d);
                else if (d == '~')
                    symbol = QChar(0xA0);
                else if (d == '_')
                    symbol = QChar(0x2011);
                if (!symbol.isEmpty()) {
                    if (pendingSkip > 0)
                        --pendingSkip;
                    else if (active(state))
                        emitText(symbol);
                }
                continue;
            }
            ++i;
            groupStart = false;
            if (c == '\r' || c == '\n')
                continue;
            if (pendingSkip > 0) {
                --pendingSkip;
                continue;
            }
            if (active(state))
                emitByte(c, state);
        }
        flush();
        return m_out;
    }

private:
    bool active(const GroupState& s) const
    {
        if (s.skip)
            return false;
        if (m_kind == RtfKind::Html)
            return s.inHtmlTag || !s.htmlRtf;
        return !s.htmlRtf;
    }

    void controlWord(const QByteArray& word, bool hasParam, long long param, GroupState& s,
                     int& pendingSkip)
    {
        if (s.inFontTable) {
            if (word == "f" && hasParam)
                m_currentFontDef = int(param);
            else if (word == "fcharset" && hasParam)
                m_fontCodepages[m_currentFontDef] = codepageForFontCharset(int(param));
            else if (word == "cpg" && hasParam)
                m_fontCodepages[m_currentFontDef] = int(param);
            return;
        }
        if (word == "ansicpg" && hasParam) {
            m_defaultCodepage = int(param);
        } else if (word == "f" && hasParam) {
            auto it = m_fontCodepages.find(int(param));
            s.fontCodepage = it == m_fontCodepages.end() ? 0 : it->second;
        } else if (word == "htmlrtf") {
            s.htmlRtf = !hasParam || param != 0;
        } else if (word == "uc" && hasParam) {
            s.ucSkip = int(std::clamp<long long>(param, 0, 10));
        } else if (word == "u" && hasParam) {
            if (active(s)) {
                const auto unit = char16_t(param < 0 ? param + 65536 : param);
                emitText(QString(QChar(unit)));
            }
            pendingSkip = s.ucSkip;
        } else if (active(s)) {
            if (const char16_t* text = symbolText(word))
                emitText(QString::fromUtf16(text));
        }
    }

    // Control words that stand for text.
    static const char16_t* symbolText(const QByteArray& word)
    {
        static const std::pair<const char*, const char16_t*> table[] = {
            {"par", u"\r\n"},         {"line", u"\r\n"},     {"tab", u"\t"},
            {"lquote", u"\u2018"},    {"rquote", u"\u2019"}, {"ldblquote", u"\u201C"},
            {"rdblquote", u"\u201D"}, {"bullet", u"\u2022"}, {"endash", u"\u2013"},
            {"emdash", u"\u2014"},    {"emspace", u" "},     {"enspace", u" "},
        };
        for (const auto& [name, text] : table) {
            if (word == name)
                return text;
        }
        return nullptr;
    }

    int codepageFor(const GroupState& s) const
    {
        if (!s.inHtmlTag && s.fontCodepage)
            return s.fontCodepage;
        return m_defaultCodepage;
    }

    void emitByte(char c, const GroupState& s)
    {
        const int cp = codepageFor(s);
        if (cp != m_pendingCodepage)
            flush();
        m_pendingCodepage = cp;
        m_pending.append(c);
    }

    void emitText(const QString& text)
    {
        flush();
        m_out += text;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        m_out += decodeCodepage(m_pending, m_pendingCodepage);
        m_pending.clear();
    }

    const QByteArray& m_in;
    RtfKind m_kind = RtfKind::Native;
    int m_defaultCodepage = 1252;
    int m_currentFontDef = 0;
    std::map<int, int> m_fontCodepages;
    QByteArray m_pending;
    int m_pendingCodepage = 1252;
    QString m_out;
};

} // namespace

RtfKind rtfKind(const QByteArray& rtf)
{
    // The marker sits in the header, before any text.
    const QByteArray head = rtf.left(2048);
    auto has = [&](const char* word) {
        qsizetype at = head.indexOf(word);
        while (at >= 0) {
            const qsizetype after = at + qsizetype(qstrlen(word));
            if (after >= head.size() || !isLetter(head[after]))
                return true;
            at = head.indexOf(word, after);
        }
        return false;
    };
    if (has("\\fromhtml"))
        return RtfKind::Html;
    if (has("\\fromtext"))
        return RtfKind::Text;
    return RtfKind::Native;
}

QString deencapsulateRtf(const QByteArray& rtf)
{
    return Parser(rtf).run();
}

} // namespace kestrel::platform::msg
