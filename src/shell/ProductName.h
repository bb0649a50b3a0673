#pragma once

namespace kestrel::shell {

// The name that captions, message boxes and the settings store carry.
inline constexpr char kProductName[] = "Kestrel Mailkeep";

} // namespace kestrel::shell
