#include "AttachmentSplice.h"

#include <QRandomGenerator>

#include <cstring>

namespace kestrel::platform::msg {

namespace {

constexpr qsizetype kLineBytes = 57; // 76 characters of base64
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

AttachmentSplice::AttachmentSplice()
    // Unguessable: no text of the message can hold a placeholder by chance.
    : m_nonce(QByteArray::number(QRandomGenerator::global()->generate64(), 36) +
              QByteArray::number(QRandomGenerator::global()->generate64(), 36))
{
}

QByteArray AttachmentSplice::placeholder(const QByteArray& data)
{
    QByteArray text = "kestrel-attachment-" + m_nonce + '-' +
                      QByteArray::number(qulonglong(m_parts.size())) + '\n';
    m_parts.push_back({text, data});
    return text;
}

qsizetype AttachmentSplice::encodedSize(qsizetype size)
{
    const qsizetype lines = (size + kLineBytes - 1) / kLineBytes;
    return (size + 2) / 3 * 4 + lines;
}

void AttachmentSplice::encode(const char* in, qsizetype size, char* out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    while (size > 0) {
        const qsizetype line = std::min(size, kLineBytes);
        qsizetype i = 0;
        for (; i + 3 <= line; i += 3) {
            const unsigned v = unsigned(p[i]) << 16 | unsigned(p[i + 1]) << 8 | p[i + 2];
            *out++ = kAlphabet[v >> 18];
            *out++ = kAlphabet[(v >> 12) & 63];
            *out++ = kAlphabet[(v >> 6) & 63];
            *out++ = kAlphabet[v & 63];
        }
        if (i < line) { // the last one or two bytes of all
            const unsigned v = unsigned(p[i]) << 16 | (i + 1 < line ? unsigned(p[i + 1]) << 8 : 0);
            *out++ = kAlphabet[v >> 18];
            *out++ = kAlphabet[(v >> 12) & 63];
            *out++ = i + 1 < line ? kAlphabet[(v >> 6) & 63] : '=';
            *out++ = '=';
        }
        *out++ = '\n';
        p += line;
        size -= line;
    }
}

std::optional<QByteArray> AttachmentSplice::apply(const QByteArray& text) const
{
    std::vector<qsizetype> at;
    at.reserve(m_parts.size());
    qsizetype size = text.size();
    qsizetype from = 0;
    for (const Part& part : m_parts) {
        const qsizetype found = text.indexOf(part.placeholder, from);
        if (found < 0)
            return std::nullopt;
        at.push_back(found);
        from = found + part.placeholder.size();
        size += encodedSize(part.data.size()) - part.placeholder.size();
    }
    QByteArray out(size, Qt::Uninitialized);
    char* write = out.data();
    qsizetype read = 0;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        std::memcpy(write, text.constData() + read, size_t(at[i] - read));
        write += at[i] - read;
        encode(m_parts[i].data.constData(), m_parts[i].data.size(), write);
        write += encodedSize(m_parts[i].data.size());
        read = at[i] + m_parts[i].placeholder.size();
    }
    std::memcpy(write, text.constData() + read, size_t(text.size() - read));
    return out;
}

} // namespace kestrel::platform::msg
