#include "HeaderBounds.h"

#include <vector>

namespace kestrel::platform::msg {

namespace {

bool isAddressField(QByteArrayView name)
{
    for (const char* field : {"to", "cc", "bcc", "from", "sender", "reply-to", "resent-to",
                              "resent-cc", "resent-bcc", "resent-from"}) {
        if (name.compare(QByteArrayView(field), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isRecipientField(QByteArrayView name)
{
    return name.compare("to", Qt::CaseInsensitive) == 0 ||
           name.compare("cc", Qt::CaseInsensitive) == 0 ||
           name.compare("bcc", Qt::CaseInsensitive) == 0;
}

// Offsets of the commas that separate addresses: not inside quotes, comments
// or angle brackets.
std::vector<qsizetype> separators(QByteArrayView value)
{
    std::vector<qsizetype> out;
    bool quoted = false;
    int comment = 0;
    int angle = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\') {
            ++i;
        } else if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (comment == 0 && c == '<') {
            ++angle;
        } else if (comment == 0 && c == '>' && angle > 0) {
            --angle;
        } else if (comment == 0 && angle == 0 && (c == ',' || c == ';')) {
            out.push_back(i);
        }
    }
    return out;
}

// The field's first MaxFieldBytes, ended at a line end.
void appendCut(QByteArray& out, QByteArrayView field)
{
    QByteArrayView head = field.first(std::min(field.size(), MaxFieldBytes));
    const qsizetype lf = head.lastIndexOf('\n');
    if (lf > 0 && head.size() < field.size())
        head = head.first(lf);
    out.append(head);
    if (!out.endsWith('\n'))
        out.append('\n');
}

// "Name: a, b, c" as "Name: a, b" and "Name: c", each under the field bound and
// each address cut to the address bound.
void appendSplit(QByteArray& out, QByteArrayView name, QByteArrayView value,
                 const std::vector<qsizetype>& separators)
{
    QByteArray field = name.toByteArray() + ':';
    const qsizetype empty = field.size();
    qsizetype start = 0;
    for (size_t k = 0; k <= separators.size(); ++k) {
        const qsizetype end = k < separators.size() ? separators[k] + 1 : value.size();
        QByteArrayView piece = value.sliced(start, end - start);
        if (piece.size() > MaxAddressBytes)
            piece = piece.first(MaxAddressBytes);
        if (field.size() > empty && field.size() + piece.size() > MaxFieldBytes) {
            if (field.endsWith(','))
                field.chop(1);
            appendCut(out, field);
            field.truncate(empty);
        }
        field.append(piece.data(), piece.size());
        start = end;
    }
    if (field.size() > empty)
        appendCut(out, field);
}

bool hasLongAddress(QByteArrayView value, const std::vector<qsizetype>& separators)
{
    qsizetype start = 0;
    for (const qsizetype at : separators) {
        if (at - start > MaxAddressBytes)
            return true;
        start = at + 1;
    }
    return value.size() - start > MaxAddressBytes;
}

} // namespace

BoundedHeaders boundHeaders(const QByteArray& block)
{
    BoundedHeaders result;
    result.block.reserve(block.size());
    qsizetype start = 0;
    while (start < block.size()) {
        // One field: its line and the continuation lines after it.
        qsizetype end = start;
        do {
            const qsizetype lf = block.indexOf('\n', end);
            end = lf < 0 ? block.size() : lf + 1;
        } while (end < block.size() && (block[end] == ' ' || block[end] == '\t'));
        const QByteArrayView field(block.constData() + start, end - start);
        const qsizetype colon = field.indexOf(':');
        const QByteArrayView name = colon > 0 ? field.first(colon).trimmed() : QByteArrayView();
        const QByteArrayView value = colon > 0 ? field.sliced(colon + 1) : QByteArrayView();
        if (isAddressField(name)) {
            const std::vector<qsizetype> commas = separators(value);
            if (isRecipientField(name) && !value.trimmed().isEmpty())
                result.recipients += qsizetype(commas.size()) + 1;
            if (field.size() > MaxFieldBytes || hasLongAddress(value, commas)) {
                result.changed = true;
                appendSplit(result.block, name, value, commas);
            } else {
                result.block.append(field);
            }
        } else if (field.size() > MaxFieldBytes) {
            result.changed = true;
            appendCut(result.block, field);
        } else {
            result.block.append(field);
        }
        start = end;
    }
    return result;
}

} // namespace kestrel::platform::msg
