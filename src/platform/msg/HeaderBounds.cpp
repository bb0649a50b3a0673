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

// "Name: a, b, c" as "Name: a, b" and "Name: c", each under the bound.
void appendSplit(QByteArray& out, QByteArrayView name, QByteArrayView value)
{
    qsizetype start = 0;
    qsizetype last = 0; // end of the last address that fits
    const std::vector<qsizetype> commas = separators(value);
    auto emit = [&](qsizetype end) {
        QByteArray field =
            name.toByteArray() + ':' + value.sliced(start, end - start).toByteArray();
        appendCut(out, field);
        start = end + 1;
    };
    for (const qsizetype comma : commas) {
        if (comma - start > MaxFieldBytes && last > start)
            emit(last);
        last = comma;
    }
    if (value.size() - start > MaxFieldBytes && last > start)
        emit(last);
    if (start < value.size())
        emit(value.size());
}

} // namespace

BoundedHeaders boundHeaders(const QByteArray& block)
{
    BoundedHeaders result;
    const bool large = block.size() > MaxFieldBytes;
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
        if (isRecipientField(name) && !value.trimmed().isEmpty())
            result.recipients += qsizetype(separators(value).size()) + 1;
        if (large) {
            if (field.size() <= MaxFieldBytes) {
                result.block.append(field);
            } else {
                result.changed = true;
                if (isAddressField(name))
                    appendSplit(result.block, name, value);
                else
                    appendCut(result.block, field);
            }
        }
        start = end;
    }
    if (!large)
        result.block = block;
    return result;
}

} // namespace kestrel::platform::msg
