#include "FolderPath.h"

namespace kestrel::platform {

namespace {

const QString kRootMark = QStringLiteral("\\\\");

} // namespace

FolderPath::FolderPath(QString store, QStringList names)
    : m_store(std::move(store)), m_names(std::move(names))
{
}

FolderPath FolderPath::parse(const QString& path)
{
    QStringList names = parseRelative(path.startsWith(kRootMark) ? path.mid(2) : path);
    if (names.isEmpty())
        return {};
    const QString store = names.takeFirst();
    return {store, names};
}

QStringList FolderPath::parseRelative(const QString& relativePath)
{
    if (relativePath.isEmpty())
        return {};
    QStringList names = relativePath.split('\\');
    for (QString& name : names)
        name = unescape(name);
    return names;
}

QString FolderPath::joinRelative(const QStringList& names)
{
    QStringList elements;
    elements.reserve(names.size());
    for (const QString& name : names)
        elements.append(escape(name));
    return elements.join('\\');
}

QString FolderPath::escape(const QString& name)
{
    // A name of dots alone would climb or stand still once the path meets a
    // file system; its dots are written out like the separators.
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("%2E").repeated(name.size());
    QString element;
    element.reserve(name.size());
    for (const QChar ch : name) {
        if (ch == '%')
            element += QLatin1String("%25");
        else if (ch == '\\')
            element += QLatin1String("%5C");
        else if (ch == '/')
            element += QLatin1String("%2F");
        else
            element += ch;
    }
    return element;
}

QString FolderPath::unescape(const QString& element)
{
    // One pass, so that "%252F" reads as "%2F".
    return decodePercentEscapes(element, u"%/\\.");
}

QString decodePercentEscapes(QStringView text, QStringView escaped)
{
    const auto hexValue = [](QChar c) {
        return c >= '0' && c <= '9'   ? c.unicode() - '0'
               : c >= 'A' && c <= 'F' ? c.unicode() - 'A' + 10
                                      : -1;
    };
    QString out = QLatin1String(""); // never null: callers read null as "cannot decode"
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '%' && i + 2 < text.size()) {
            const int high = hexValue(text.at(i + 1));
            const int low = hexValue(text.at(i + 2));
            const QChar plain = high < 0 || low < 0 ? QChar() : QChar(char16_t(high * 16 + low));
            if (!plain.isNull() && escaped.contains(plain)) {
                out += plain;
                i += 2;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

FolderPath FolderPath::child(const QString& name) const
{
    return {m_store, m_names + QStringList{name}};
}

QString FolderPath::toString() const
{
    return kRootMark + toShortString();
}

QString FolderPath::toShortString() const
{
    const QString relative = relativeString();
    return m_names.isEmpty() ? escape(m_store) : escape(m_store) + '\\' + relative;
}

QString FolderPath::relativeString() const
{
    return joinRelative(m_names);
}

} // namespace kestrel::platform
