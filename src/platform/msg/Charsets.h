#pragma once

// Windows code pages and MIME charset names, and conversion of 8-bit text.

#include <QByteArray>
#include <QString>

namespace kestrel::platform::msg {

// iconv name of a Windows code page; nullptr when unknown.
const char* charsetForCodepage(int codepage);
// Windows code page of a MIME charset name; 0 when unknown.
int codepageForCharset(const QByteArray& charset);
// The ANSI page that 8-bit strings use when only an internet code page is known
// (ISO-2022-JP to 932, Latin-1 to 1252, ...).
int ansiCodepageFor(int internetCodepage);

// Undecodable bytes become U+FFFD; an unknown code page is read as windows-1252.
QString decodeCodepage(const QByteArray& bytes, int codepage);
QString decodeCharset(const QByteArray& bytes, const char* charset);

} // namespace kestrel::platform::msg
