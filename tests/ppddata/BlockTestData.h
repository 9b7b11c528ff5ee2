// Test data for the zlib + Base64 block formats: streams, chunks and small PPD files holding
// block attributes, made here with zlib and libcups directly (independent of the code under test).
#pragma once

#include <cups/http.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::testing {

// `size` pseudo-random bytes (zeros included), the same for the same seed.
inline std::string RandomBytes(std::size_t size, unsigned seed = 1) {
  std::mt19937 gen(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(gen() & 0xFF);
  return out;
}

// Compressible text of `size` bytes.
inline std::string SampleText(std::size_t size) {
  static constexpr std::string_view kWords[] = {"Tray1",  "Toner",  "Black", "Cyan ", "Staple",
                                                "Duplex", "Preset", "=",     "\n",    "Letter"};
  std::string out;
  for (unsigned i = 0; out.size() < size; i = i * 7 + 3) out += kWords[i % 10];
  out.resize(size);
  return out;
}

// One zlib stream of `payload` at compression level 9.
inline std::string Deflate(std::string_view payload, const std::string& dictionary = {}) {
  z_stream zs{};
  deflateInit(&zs, 9);
  if (!dictionary.empty()) {
    deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(dictionary.data()),
                         static_cast<uInt>(dictionary.size()));
  }
  std::string out(deflateBound(&zs, payload.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(payload.data()));
  zs.avail_in = static_cast<uInt>(payload.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Everything zlib produces from `stream` (which may be only the start of a stream).
inline std::string InflatePrefix(std::string_view stream) {
  z_stream zs{};
  inflateInit(&zs);
  std::string out;
  char buffer[4096];
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  zs.avail_in = static_cast<uInt>(stream.size());
  int code = Z_OK;
  while (code == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = sizeof buffer;
    code = inflate(&zs, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - zs.avail_out);
    if (zs.avail_in == 0 && zs.avail_out != 0) break;
  }
  inflateEnd(&zs);
  return out;
}

// Standard Base64 with padding.
inline std::string Base64(std::string_view bytes) {
  std::string out(bytes.size() * 4 / 3 + 8, '\0');
  httpEncode64_2(out.data(), static_cast<int>(out.size()), bytes.data(),
                 static_cast<int>(bytes.size()));
  out.resize(std::char_traits<char>::length(out.c_str()));
  return out;
}

// `stream` cut into pieces of at most `size` bytes (none for an empty stream).
inline std::vector<std::string> Chunks(std::string_view stream, std::size_t size = 158) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < stream.size(); at += size) {
    out.emplace_back(stream.substr(at, size));
  }
  return out;
}

inline std::vector<std::string> Base64Chunks(std::string_view stream) {
  std::vector<std::string> out;
  for (const std::string& chunk : Chunks(stream)) out.push_back(Base64(chunk));
  return out;
}

inline std::string NumberedName(std::string_view name, unsigned number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04x", number);
  return std::string(name) + digits;
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

// Block attributes name0000, name0001, ... holding `values`, then the empty end attribute.
inline Attributes BlockAttributes(std::string_view name, const std::vector<std::string>& values,
                                  bool with_end = true) {
  Attributes out;
  for (unsigned i = 0; i < values.size(); ++i) out.emplace_back(NumberedName(name, i), values[i]);
  if (with_end) out.emplace_back(NumberedName(name, static_cast<unsigned>(values.size())), "");
  return out;
}

inline Attributes BlockOf(std::string_view name, std::string_view payload) {
  return BlockAttributes(name, Base64Chunks(Deflate(payload)));
}

// A small PPD file holding `attributes` as main keywords with quoted values.
inline std::string PPDText(const Attributes& attributes) {
  std::string text =
      "*PPD-Adobe: \"4.3\"\n"
      "*FormatVersion: \"4.3\"\n"
      "*LanguageVersion: English\n"
      "*ModelName: \"Test Printer\"\n"
      "*NickName: \"Test Printer\"\n";
  for (const auto& [name, value] : attributes) text += "*" + name + ": \"" + value + "\"\n";
  return text;
}

}  // namespace quill::testing
