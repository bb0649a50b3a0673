#pragma once

// A mount for a test's hostile conditions (a read-only folder, a full disk),
// undone when the test ends. Needs root; a test skips when mounted() is false.

#include <QString>

namespace kestrel::test {

class ScopedMount {
public:
    // dir bound onto itself read-only.
    static ScopedMount readOnly(const QString& dir);
    // from seen at onto as well.
    static ScopedMount bind(const QString& from, const QString& onto);
    // A tmpfs of the given size on dir.
    static ScopedMount smallDisk(const QString& dir, int kilobytes);

    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();

    bool mounted() const { return !m_dir.isEmpty(); }

private:
    ScopedMount() = default;
    QString m_dir; // empty when nothing is mounted
};

} // namespace kestrel::test
