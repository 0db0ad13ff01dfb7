#include "message_table.h"

#include "control/message_name.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

bool readMessageTable(const QString &folder, MessageTable &table, QString &error)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const int fd = ::dirfd(dir);
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        const char first = name[0];
        if (first != 'N' && first != 'M' && first != 'n' && first != 'm')
            continue;
        const size_t length = std::strlen(name);
        const bool message = VNOrvak::IsMessageFileName(name, length);
        struct stat st;
        const bool needStatus = message || entry->d_type != DT_REG;
        if (needStatus && (::fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)))
            continue; // vanished, a link to nothing, a sub-folder...
        if (message) {
            MessageRow row;
            std::memcpy(row.name.data(), name, 12);
            row.modifiedSecs = st.st_mtim.tv_sec;
            row.size = st.st_size;
            table.messages.push_back(row);
        } else {
            table.otherNames.append(QFile::decodeName(QByteArray(name, qsizetype(length))));
        }
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        error = QString::fromLocal8Bit(std::strerror(readError));
        return false;
    }
    std::sort(table.messages.begin(), table.messages.end(),
              [](const MessageRow &a, const MessageRow &b) {
                  // Entity, ordering character, then "N" before "M".
                  const int c = std::memcmp(a.name.data() + 2, b.name.data() + 2, 10);
                  return c != 0 ? c < 0 : a.name[0] > b.name[0];
              });
    table.otherNames.sort();
    return true;
}
