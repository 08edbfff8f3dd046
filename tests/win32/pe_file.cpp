#include "pe_file.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

class Image {
 public:
  explicit Image(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

  bool Has(size_t at, size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  uint32_t U16(size_t at) const { return Has(at, 2) ? bytes_[at] | bytes_[at + 1] << 8 : 0; }
  uint32_t U32(size_t at) const { return Has(at, 4) ? U16(at) | U16(at + 2) << 16 : 0; }
  std::string Text(size_t at) const {
    std::string s;
    while (Has(at, 1) && bytes_[at] != 0 && s.size() < 512) s += static_cast<char>(bytes_[at++]);
    return s;
  }

  // Maps a relative virtual address to a file offset through the section table.
  size_t Offset(uint32_t rva) const {
    for (uint32_t i = 0; i < sectionCount_; ++i) {
      size_t header = sectionTable_ + i * 40;
      uint32_t virtualAddress = U32(header + 12);
      uint32_t rawSize = U32(header + 16);
      uint32_t rawPointer = U32(header + 20);
      if (rva >= virtualAddress && rva < virtualAddress + rawSize) return rawPointer + (rva - virtualAddress);
    }
    return SIZE_MAX;
  }

  void SetSections(size_t table, uint32_t count) {
    sectionTable_ = table;
    sectionCount_ = count;
  }

 private:
  std::vector<unsigned char> bytes_;
  size_t sectionTable_ = 0;
  uint32_t sectionCount_ = 0;
};

}  // namespace

PeTables ReadPeTables(const std::string& path) {
  PeTables out;
  std::ifstream in(path, std::ios::binary);
  Image image(std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  if (image.U16(0) != 0x5a4d) return out;  // "MZ"
  size_t pe = image.U32(0x3c);
  if (image.U32(pe) != 0x00004550) return out;  // "PE\0\0"
  size_t coff = pe + 4;
  out.machine = image.U16(coff);
  out.isDll = (image.U16(coff + 18) & 0x2000) != 0;
  size_t optional = coff + 20;
  if (image.U16(optional) != 0x10b) return out;  // PE32
  image.SetSections(optional + image.U16(coff + 16), image.U16(coff + 2));

  uint32_t exportRva = image.U32(optional + 96);
  if (exportRva != 0) {
    size_t dir = image.Offset(exportRva);
    uint32_t count = image.U32(dir + 24);
    size_t names = image.Offset(image.U32(dir + 32));
    for (uint32_t i = 0; i < count && i < 4096; ++i)
      out.exports.push_back(image.Text(image.Offset(image.U32(names + 4 * i))));
  }
  uint32_t importRva = image.U32(optional + 104);
  if (importRva != 0) {
    for (size_t d = image.Offset(importRva); image.Has(d, 20) && image.U32(d + 12) != 0; d += 20)
      out.imports.push_back(image.Text(image.Offset(image.U32(d + 12))));
  }
  out.valid = true;
  return out;
}
