// Writes languages files for tests: sections chained by their next-section positions,
// with the primitives of the format (docs/formats/lan.md), and hooks to damage them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quintrel::tools::test {

class TLanWriter {
public:
  TLanWriter& Short(int16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    return *this;
  }
  TLanWriter& Long(int32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
  }
  // A string; texts of 255 bytes and more take the long form.
  TLanWriter& String(const std::string& s) {
    if (s.size() < 255) {
      bytes_.push_back(static_cast<uint8_t>(s.size()));
    } else {
      bytes_.push_back(255);
      Long(static_cast<int32_t>(s.size()));
    }
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  // Opens a section; its next-section position is filled in by End.
  TLanWriter& Section(const std::string& name) {
    Short(1);
    next_ = bytes_.size();
    Long(0);
    return String(name);
  }
  // Closes a section's entries with a 0 and points its head at what follows.
  TLanWriter& End() {
    Short(0);
    return PatchNext(static_cast<int32_t>(bytes_.size()));
  }
  TLanWriter& PatchNext(int32_t position) {
    for (int i = 0; i < 4; ++i) bytes_[next_ + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(position) >> (8 * i));
    return *this;
  }
  TLanWriter& Languages(const std::vector<std::pair<uint16_t, std::string>>& languages, bool extra = false) {
    Section("Languages:").String(std::to_string(languages.size())).Short(0);
    for (const auto& [id, name] : languages) {
      Short(1).Short(0).Short(static_cast<int16_t>(id)).String(name).Short(extra ? 1 : 0);
      if (extra) bytes_.insert(bytes_.end(), 766, 0xEE);
    }
    return End();
  }
  TLanWriter& Entry(uint16_t language, const std::string& text, const std::string& comp, const std::string& prop,
                    int16_t index = -1) {
    return Short(1).Short(0).Short(static_cast<int16_t>(language)).String(text).String(comp).String(prop).Short(index);
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  size_t NextField() const { return next_; }

private:
  std::vector<uint8_t> bytes_;
  size_t next_ = 0;
};

inline uint16_t LanId(const char* two) {
  return static_cast<uint16_t>(static_cast<uint8_t>(two[0]) | (static_cast<uint8_t>(two[1]) << 8));
}

}  // namespace quintrel::tools::test
