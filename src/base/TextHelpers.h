#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

// Field splitting and number conversions that the description-file formats are defined in.
// Positions and field numbers count from 1.

// Field n of text cut at every separator; empty for n < 1 or beyond the last field.
QString ExtractField(const QString &text, QChar separator, int n);
int CountChar(const QString &text, QChar c);
QString StripBlanks(const QString &text);               // removes code 32 only
void ReplaceChar(QString &text, QChar find, QChar replacement);
bool ContainsText(const QString &text, const QString &part); // case-sensitive

int HexDigitValue(QChar c);                              // raises "Invalid hex str containing <c>"
int TryHexDigitValue(QChar c);                           // 0..15, or -1 for a non-hex character
uint32_t HexStrToInt(const QString &text);               // "$", "0x" prefixes; raises on a non-hex character
uint32_t BinStrToInt(const QString &text);               // optional "0b" prefix; non-"1" counts as 0
uint8_t HexPairToByte(QChar high, QChar low);            // non-hex characters count as 0
uint8_t HexTextToByte(const QString &text);              // from the first two characters
QString ByteToHexChars(uint8_t b);                       // lower case, high nibble first
QString ByteToHexText(uint8_t b);                        // same as ByteToHexChars
QString IntToBinStr(uint32_t value, uint8_t bitCount);   // raises "IntToBinStr: falsche Bitzahl"

constexpr int64_t kInvalidInt64 = INT64_MIN;             // the marker of DecStrToInt64
// Decimal digits with an optional leading "-" (no hexadecimal), wrapping in 64 bits;
// kInvalidInt64 for any other text. Shares its digit scanner with TryDecimalValue.
int64_t DecStrToInt64(const QString &text);

QString BoolToText(bool b);                              // "yes" / "no"

// The one decimal conversion of the system, for values and description fields alike: an
// optional "-" followed by decimal digits, or a hexadecimal number of at most 32 bits after
// "$" or "0x". Nothing else: no blanks, tabs or "+". False for any other text (and for a
// decimal beyond 64 bits); a hexadecimal number reads as its unsigned value.
bool TryDecimalValue(QStringView text, int64_t &value);
// TryDecimalValue limited to signed 32 bits (a hexadecimal number keeps its 32 bits, so
// "$FFFFFFFF" is -1); raises "'<text>' is not a valid integer value" otherwise.
int StrToInt(const QString &text);
// Upper-case hexadecimal with at least `digits` digits.
QString IntToHex(uint32_t value, int digits);

#include <QVariantList>
// Fills a message text with arguments. Texts from the language files use printf-style
// conversions (%s, %d, %u, %x, %X, with optional flags, width and precision, %% for "%");
// a text with Qt-style %1, %2 ... is filled with QString::arg. Missing arguments leave the
// conversion as written; surplus arguments are ignored. A width or precision above
// kMaxFormatWidth (as the template generator's limit) also leaves the conversion as written.
constexpr int kMaxFormatWidth = 65535;
QString FormatText(const QString &format, const QVariantList &args);
