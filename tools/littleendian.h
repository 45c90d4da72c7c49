#pragma once
// Little-endian numbers for the BMP, ICO and WAV headers we write.

#include <QByteArray>
#include <cstdint>

inline void put16(QByteArray &out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

inline void put32(QByteArray &out, int64_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xff));
}
