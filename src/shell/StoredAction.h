#pragma once

#include <QString>

#include <optional>

namespace kestrel::shell {

// The action position that the stored "Config"/"Action" text asks for: the
// number at its start (none, or not a number, counts as 0), rounded to a whole
// position. Nothing when the text is the number -1, which leaves the choice alone.
std::optional<int> storedActionPosition(const QString& stored);

} // namespace kestrel::shell
