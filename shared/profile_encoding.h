#pragma once

#include <QByteArray>

namespace modVNQRN
{

/// How a settings file's text is stored. Windows editors save "ANSI" (read
/// as UTF-8 with a Windows-1252 fallback, see ansi_text.h), UTF-8 with a byte
/// order mark, or "Unicode": UTF-16 with a byte order mark, little- or
/// big-endian.
enum class ProfileEncoding {
    Ansi,
    Utf8Bom,
    Utf16LE,
    Utf16BE,
};

/// A settings file's text as the INI reader takes it (ANSI/UTF-8 bytes, no
/// byte order mark), and how the file stores it.
struct ProfileText {
    ProfileEncoding encoding = ProfileEncoding::Ansi;
    QByteArray bytes;
};

/// Recognises the encoding by the file's byte order mark and converts UTF-16
/// to UTF-8. Line ends are kept as they are.
ProfileText decodeProfileFile(const QByteArray &file);

/// The file contents for `text`: its bytes in its encoding, the byte order
/// mark first where the encoding has one.
QByteArray encodeProfileFile(const ProfileText &text);

} // namespace modVNQRN
