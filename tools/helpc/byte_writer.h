// Little-endian fields and the help format's compressed numbers, appended to
// a byte string.
#ifndef LUMIRUN_TOOLS_HELPC_BYTE_WRITER_H
#define LUMIRUN_TOOLS_HELPC_BYTE_WRITER_H

#include <cstdint>
#include <string>

inline void put8(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xff);
}

inline void put16(std::string& out, unsigned value)
{
    put8(out, value);
    put8(out, value >> 8);
}

inline void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// Compressed unsigned short: one byte (value * 2) below 128, else two bytes
// with the low bit set. Values up to 0x7fff.
inline void put_compressed_ushort(std::string& out, unsigned value)
{
    if (value < 0x80)
        put8(out, value * 2);
    else
        put16(out, value * 2 + 1);
}

// Compressed signed short: the unsigned form of value + 64 (one byte) or of
// value + 16384 (two bytes).
inline void put_compressed_short(std::string& out, int value)
{
    if (value >= -0x40 && value < 0x40)
        put_compressed_ushort(out, static_cast<unsigned>(value + 0x40));
    else
        put_compressed_ushort(out, static_cast<unsigned>(value + 0x4000));
}

// Compressed signed long: two bytes (2 * (value + 0x4000)) when small, else
// four with the low bit set.
inline void put_compressed_long(std::string& out, std::int32_t value)
{
    if (value >= -0x4000 && value < 0x4000)
        put16(out, static_cast<unsigned>(value + 0x4000) * 2);
    else
        put32(out, (static_cast<std::uint32_t>(value) + 0x40000000u) * 2 + 1);
}

#endif
