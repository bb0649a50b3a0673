#include "ScopedMount.h"

#include <QProcess>

namespace kestrel::test {

namespace {

bool mountCommand(const QStringList& arguments)
{
    QProcess mount;
    mount.start(QStringLiteral("mount"), arguments);
    return mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit &&
           mount.exitCode() == 0;
}

} // namespace

ScopedMount ScopedMount::bind(const QString& from, const QString& onto)
{
    ScopedMount result;
    if (mountCommand({QStringLiteral("--bind"), from, onto}))
        result.m_dir = onto;
    return result;
}

ScopedMount ScopedMount::readOnly(const QString& dir)
{
    ScopedMount result = bind(dir, dir);
    if (result.mounted() &&
        !mountCommand({QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), dir}))
        return ScopedMount(); // result unmounts on the way out
    return result;
}

ScopedMount ScopedMount::smallDisk(const QString& dir, int kilobytes)
{
    ScopedMount result;
    if (mountCommand({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                      QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), dir}))
        result.m_dir = dir;
    return result;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept : m_dir(std::move(other.m_dir))
{
    other.m_dir.clear();
}

ScopedMount::~ScopedMount()
{
    if (mounted())
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir});
}

} // namespace kestrel::test
