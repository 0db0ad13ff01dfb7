#include "message_name.h"

namespace VNOrvak
{

namespace
{

// ASCII only: a letter of another script may take more than one character
// of the list's text, or none of the file system's bytes round trip.
template <typename Char> bool isLetter(Char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <typename Char> bool isDigit(Char c)
{
    return c >= '0' && c <= '9';
}

template <typename Char> bool isMessageFileName(const Char *name, std::size_t size)
{
    if (size != kMessageFileNameLength || (name[0] != 'N' && name[0] != 'M') ||
        !(isLetter(name[1]) || isDigit(name[1])))
        return false;
    for (std::size_t i = 2; i < 11; ++i) {
        if (!isDigit(name[i]))
            return false;
    }
    return (isLetter(name[11]) || isDigit(name[11])) && name[12] == '.' && name[13] == 'v' &&
           name[14] == 'o' && name[15] == 'x';
}

} // namespace

bool IsMessageFileName(QStringView fileName)
{
    return isMessageFileName(fileName.utf16(), static_cast<std::size_t>(fileName.size()));
}

bool IsMessageFileName(const char *fileName, std::size_t size)
{
    return isMessageFileName(fileName, size);
}

} // namespace VNOrvak
