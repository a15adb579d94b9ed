#include "song/WaveInsert.h"

#include "base/Codepage.h"
#include "base/FileIO.h"

namespace kantor {

void WaveInsert::setPath(const std::string& fullPath) {
    path = fullPath;
    name = fileNameOf(fullPath);
}

std::string WaveInsert::fileName() const { return fileNameOf(name); }

std::string WaveInsert::block(const std::string& utf8) {
    std::string b = utf8ToCp932(utf8);
    std::size_t n = b.find('\0');
    if (n != std::string::npos) b.resize(n);
    std::size_t size = (b.size() + 1 + 3) / 4 * 4;
    b.resize(size, '\0');
    return b;
}

void WaveInsert::writeRecord(ByteWriter& w, uint32_t pathOffset, uint32_t nameOffset) const {
    w.u32le(position);
    w.u32le(pathOffset);
    w.u32le(static_cast<uint32_t>(block(path).size()));
    w.u32le(waveValue1);
    w.u32le(waveValue2);
    w.u32le(nameOffset);
    w.u32le(static_cast<uint32_t>(block(name).size()));
}

}  // namespace kantor
