#include "HtmlToText.h"

#include <QHash>

namespace kestrel::platform::msg {

namespace {

const QHash<QString, char32_t>& namedEntities()
{
    static const QHash<QString, char32_t> table = {
        {QStringLiteral("nbsp"), 0xA0},    {QStringLiteral("amp"), '&'},
        {QStringLiteral("lt"), '<'},       {QStringLiteral("gt"), '>'},
        {QStringLiteral("quot"), '"'},     {QStringLiteral("apos"), '\''},
        {QStringLiteral("copy"), 0xA9},    {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("trade"), 0x2122}, {QStringLiteral("hellip"), 0x2026},
        {QStringLiteral("mdash"), 0x2014}, {QStringLiteral("ndash"), 0x2013},
        {QStringLiteral("lsquo"), 0x2018}, {QStringLiteral("rsquo"), 0x2019},
        {QStringLiteral("ldquo"), 0x201C}, {QStringLiteral("rdquo"), 0x201D},
        {QStringLiteral("bull"), 0x2022},  {QStringLiteral("euro"), 0x20AC},
        {QStringLiteral("pound"), 0xA3},   {QStringLiteral("yen"), 0xA5},
        {QStringLiteral("cent"), 0xA2},    {QStringLiteral("sect"), 0xA7},
        {QStringLiteral("deg"), 0xB0},     {QStringLiteral("middot"), 0xB7},
        {QStringLiteral("laquo"), 0xAB},   {QStringLiteral("raquo"), 0xBB},
        {QStringLiteral("times"), 0xD7},   {QStringLiteral("shy"), 0xAD},
        {QStringLiteral("eacute"), 0xE9},  {QStringLiteral("egrave"), 0xE8},
        {QStringLiteral("agrave"), 0xE0},  {QStringLiteral("auml"), 0xE4},
        {QStringLiteral("ouml"), 0xF6},    {QStringLiteral("uuml"), 0xFC},
        {QStringLiteral("szlig"), 0xDF},   {QStringLiteral("ccedil"), 0xE7},
    };
    return table;
}

bool isBlockTag(const QString& name)
{
    static const QStringList blocks = {
        QStringLiteral("p"),          QStringLiteral("div"), QStringLiteral("br"),
        QStringLiteral("tr"),         QStringLiteral("li"),  QStringLiteral("h1"),
        QStringLiteral("h2"),         QStringLiteral("h3"),  QStringLiteral("h4"),
        QStringLiteral("h5"),         QStringLiteral("h6"),  QStringLiteral("hr"),
        QStringLiteral("table"),      QStringLiteral("ul"),  QStringLiteral("ol"),
        QStringLiteral("blockquote"), QStringLiteral("pre"), QStringLiteral("title"),
    };
    return blocks.contains(name);
}

class Converter {
public:
    explicit Converter(const QString& html) : m_in(html) {}

    QString run()
    {
        const qsizetype n = m_in.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = m_in[i];
            if (c == QLatin1Char('<')) {
                i = tag(i);
            } else if (c == QLatin1Char('&')) {
                i = entity(i);
            } else {
                text(c);
                ++i;
            }
        }
        QString out = m_out.trimmed();
        out.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        return out;
    }

private:
    qsizetype tag(qsizetype start)
    {
        if (m_in.mid(start, 4) == QLatin1String("<!--")) {
            const qsizetype end = m_in.indexOf(QLatin1String("-->"), start + 4);
            return end < 0 ? m_in.size() : end + 3;
        }
        const qsizetype end = m_in.indexOf(QLatin1Char('>'), start + 1);
        if (end < 0)
            return m_in.size();
        QString name;
        qsizetype j = start + 1;
        const bool closing = j < end && m_in[j] == QLatin1Char('/');
        if (closing)
            ++j;
        while (j < end && (m_in[j].isLetterOrNumber()))
            name += m_in[j++].toLower();
        if (!closing && (name == QLatin1String("script") || name == QLatin1String("style") ||
                         name == QLatin1String("head"))) {
            const qsizetype close =
                m_in.indexOf(QStringLiteral("</") + name, end, Qt::CaseInsensitive);
            if (close < 0)
                return m_in.size();
            const qsizetype closeEnd = m_in.indexOf(QLatin1Char('>'), close);
            return closeEnd < 0 ? m_in.size() : closeEnd + 1;
        }
        if (isBlockTag(name))
            newline(name == QLatin1String("p") && !closing);
        else if (name == QLatin1String("td") || name == QLatin1String("th"))
            space();
        return end + 1;
    }

    qsizetype entity(qsizetype start)
    {
        const qsizetype semi = m_in.indexOf(QLatin1Char(';'), start + 1);
        if (semi < 0 || semi - start > 12) {
            text(QLatin1Char('&'));
            return start + 1;
        }
        const QString body = m_in.mid(start + 1, semi - start - 1);
        char32_t code = 0;
        bool ok = false;
        if (body.startsWith(QLatin1String("#x")) || body.startsWith(QLatin1String("#X")))
            code = body.mid(2).toUInt(&ok, 16);
        else if (body.startsWith(QLatin1Char('#')))
            code = body.mid(1).toUInt(&ok, 10);
        else if (auto it = namedEntities().find(body); it != namedEntities().end())
            code = it.value(), ok = true;
        if (!ok || code == 0 || code > 0x10FFFF) {
            text(QLatin1Char('&'));
            return start + 1;
        }
        if (code == 0xA0) {
            m_out += QLatin1Char(' ');
            m_space = false;
        } else {
            m_out += QString::fromUcs4(&code, 1);
            m_space = false;
        }
        m_lineStart = false;
        return semi + 1;
    }

    void text(QChar c)
    {
        if (c.isSpace()) {
            space();
            return;
        }
        if (m_space && !m_lineStart)
            m_out += QLatin1Char(' ');
        m_space = false;
        m_lineStart = false;
        m_out += c;
    }

    void space() { m_space = true; }

    void newline(bool paragraph)
    {
        m_space = false;
        // Fold runs of block tags into at most one blank line.
        while (m_out.endsWith(QLatin1Char(' ')))
            m_out.chop(1);
        if (!m_out.endsWith(QLatin1String("\n\n")))
            m_out += QLatin1Char('\n');
        if (paragraph && !m_out.endsWith(QLatin1String("\n\n")) && m_out.size() > 1)
            m_out += QLatin1Char('\n');
        m_lineStart = true;
    }

    const QString& m_in;
    QString m_out;
    bool m_space = false;
    bool m_lineStart = true;
};

} // namespace

QString htmlToText(const QString& html)
{
    return Converter(html).run();
}

} // namespace kestrel::platform::msg
