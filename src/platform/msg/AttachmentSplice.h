#pragma once

// Attachment bytes go into the MIME text after GMime has written the rest.
// GMime would pass every byte through its base64 encoder and then through a
// line-end filter, most of a read's time for a large attachment; here a short
// placeholder stands in for the content while GMime writes, and the encoded
// bytes are then written straight into the final buffer, once.

#include <QByteArray>

#include <optional>
#include <vector>

namespace kestrel::platform::msg {

class AttachmentSplice {
public:
    AttachmentSplice();

    // The content to give the part in place of `data`, as if already in
    // base64. `data` is kept (shared, not copied) until apply().
    QByteArray placeholder(const QByteArray& data);
    bool isEmpty() const { return m_parts.empty(); }
    // `text` with each placeholder, in order, replaced by its data in base64
    // lines of 76 characters, as GMime writes them. nullopt when a
    // placeholder is not where it should be.
    std::optional<QByteArray> apply(const QByteArray& text) const;

    static qsizetype encodedSize(qsizetype size);
    // Writes encodedSize(size) bytes at `out`.
    static void encode(const char* in, qsizetype size, char* out);

private:
    struct Part {
        QByteArray placeholder; // with its line end
        QByteArray data;
    };
    std::vector<Part> m_parts;
    QByteArray m_nonce;
};

} // namespace kestrel::platform::msg
