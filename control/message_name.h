#pragma once

#include <QStringView>

#include <cstddef>

namespace VNOrvak
{

/// The length of a message's base name and of its file name.
inline constexpr std::size_t kMessageNameLength = 12;
inline constexpr std::size_t kMessageFileNameLength = 16;

/// Whether `fileName` names a message file: "N" (new) or "M" (heard), a
/// letter or a digit carried along, the entity id as nine digits, an ordering
/// character (a letter or a digit), then ".vox". Only such files enter the message list; any other
/// name the scan's patterns take is kept apart, so that it cannot shift the 13-character steps of
/// the list nor split into pieces at a comma.
bool IsMessageFileName(QStringView fileName);
/// The same for a name as the file system holds it (bytes, no folder).
bool IsMessageFileName(const char *fileName, std::size_t size);

} // namespace VNOrvak
