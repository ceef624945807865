// Writes a small tree of game data for trying the tool: a few track
// containers, each carrying a short generated tone as a 16-bit mono WAV
// stream, beside files the tool must pass over or reject.
//
//   make_demo_tree DIR
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr std::uint32_t kSampleRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void put_u16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void put_u32(std::string& out, std::uint32_t value) {
  put_u16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  put_u16(out, static_cast<std::uint16_t>(value >> 16));
}

// A RIFF/WAVE stream holding `seconds` of a sine tone at `frequency`, faded in and out.
std::string tone_wav(double frequency, double seconds) {
  const auto samples = static_cast<std::uint32_t>(seconds * kSampleRate);
  std::string wav = "RIFF";
  put_u32(wav, 36 + samples * 2);
  wav += "WAVEfmt ";
  put_u32(wav, 16);
  put_u16(wav, 1);  // PCM
  put_u16(wav, 1);  // mono
  put_u32(wav, kSampleRate);
  put_u32(wav, kSampleRate * 2);
  put_u16(wav, 2);
  put_u16(wav, 16);
  wav += "data";
  put_u32(wav, samples * 2);
  const double fade = 0.05 * kSampleRate;
  for (std::uint32_t i = 0; i < samples; ++i) {
    const double envelope = std::fmin(1.0, std::fmin(i / fade, (samples - i) / fade));
    const double value = 0.4 * envelope * std::sin(2 * kPi * frequency * i / kSampleRate);
    put_u16(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(value * 32767)));
  }
  return wav;
}

// A container: leading data, the name field (name, NUL, left-over bytes), the payload.
std::string container(const std::string& name, const std::string& payload) {
  std::string bytes(229, '\x5A');
  std::string field = name + '\0' + "old-name-leftover";
  field.resize(43, '\0');
  return bytes + field + payload;
}

void write(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: make_demo_tree DIR\n";
    return 2;
  }
  const std::filesystem::path top = argv[1];
  write(top / "music" / "title.bin", container("Title Theme", tone_wav(440.0, 1.5)));
  write(top / "music" / "battle" / "boss.bin", container("Boss Battle", tone_wav(329.63, 2.0)));
  write(top / "levels" / "forest.bin", container("Forest", tone_wav(523.25, 1.0)));
  write(top / "levels" / "forest_map.bin", std::string(4096, '\x01'));  // no RIFF at 272
  write(top / "levels" / "readme.txt", "Level data. Not a candidate: wrong extension.\n");
  write(top / ".cache" / "stale.bin", container("Stale", tone_wav(220.0, 0.5)));  // dot: skipped
  return 0;
}
