#include "ReadFloor.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel::bench {

qint64 readFirstBlockOfEach(const QString& storeDir)
{
    qint64 read = 0;
    char buffer[4096];
    for (const char* sub : {"/cur", "/new"}) {
        DIR* dir = ::opendir((QFile::encodeName(storeDir) + sub).constData());
        while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
            if (entry->d_name[0] == '.')
                continue;
            const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                read += ::read(fd, buffer, sizeof buffer) > 0;
                ::close(fd);
            }
        }
        if (dir)
            ::closedir(dir);
    }
    return read;
}

} // namespace kestrel::bench
