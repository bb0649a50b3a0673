#pragma once

// The "__nameid_version1.0" storage: which property IDs from 0x8000 up stand for
// which named properties (property set GUID plus numeric LID). String-named
// properties are read past, never written.

#include "CompoundReader.h"
#include "MsgObject.h"

#include <QByteArray>

#include <map>
#include <optional>

namespace kestrel::platform::msg {

class CompoundWriter;

class NamedPropertyMap {
public:
    // Writing: give every named property of the message tree its ID.
    void collect(const MsgObject& message);
    std::optional<std::uint16_t> idFor(const NamedKey& key) const;
    bool write(CompoundWriter& out) const;

    // Reading: resolve a property ID back to its name.
    bool read(CompoundReader& in, const CompoundReader::Storage& root);
    std::optional<NamedKey> keyFor(std::uint16_t id) const;

private:
    std::map<NamedKey, std::uint16_t> m_ids;
    std::map<std::uint16_t, NamedKey> m_keys;
};

} // namespace kestrel::platform::msg
