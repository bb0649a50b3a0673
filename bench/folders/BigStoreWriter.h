#pragma once

#include <QString>

namespace kestrel::bench {

// Writes a Maildir++ store "Big Store" at root with `folders` mail folders in
// two levels (about sqrt(folders) top-level folders, the rest below them) and
// `messages` small read messages spread evenly over them, plus root/profile.ini
// naming it. Files are written directly, without the backend. Returns an error
// text, empty on success.
QString writeBigStore(const QString& root, int folders, int messages);

} // namespace kestrel::bench
