#pragma once

// Typed reads and writes of property values in a PropertyMap.

#include "MsgObject.h"

#include <QDateTime>
#include <QString>

namespace kestrel::platform::msg {

void setUnicode(PropertyMap& props, std::uint16_t id, const QString& value);
void setLong(PropertyMap& props, std::uint16_t id, std::uint32_t value);
void setBool(PropertyMap& props, std::uint16_t id, bool value);
void setTime(PropertyMap& props, std::uint16_t id, const QDateTime& value);
void setBinary(PropertyMap& props, std::uint16_t id, const QByteArray& value);

// Unicode if present, else the 8-bit form decoded by `codepage`.
std::optional<QString> getString(const PropertyMap& props, std::uint16_t id, int codepage);
std::optional<std::uint32_t> getLong(const PropertyMap& props, std::uint16_t id);
std::optional<bool> getBool(const PropertyMap& props, std::uint16_t id);
std::optional<QDateTime> getTime(const PropertyMap& props, std::uint16_t id);
std::optional<QByteArray> getBinary(const PropertyMap& props, std::uint16_t id);

std::uint64_t toFileTime(const QDateTime& time);
QDateTime fromFileTime(std::uint64_t fileTime); // invalid for 0 and the "never" values

} // namespace kestrel::platform::msg
