// Writes the program's generated resources into the folder given as the only argument:
// silence.wav (one second of 16-bit mono silence at 44.1 kHz) and black.tiff (a black
// greyscale picture, uncompressed baseline TIFF).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Little-endian byte writer.
class Bytes
{
public:
    void u16(uint16_t value)
    {
        for (int shift = 0; shift < 16; shift += 8)
            m_data.push_back(char((value >> shift) & 0xff));
    }
    void u32(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            m_data.push_back(char((value >> shift) & 0xff));
    }
    void text(const char *chars)
    {
        for (; *chars; ++chars)
            m_data.push_back(*chars);
    }
    void zeros(size_t count) { m_data.insert(m_data.end(), count, '\0'); }
    size_t size() const { return m_data.size(); }
    const std::vector<char> &data() const { return m_data; }

private:
    std::vector<char> m_data;
};

Bytes silenceWav()
{
    constexpr uint32_t sampleRate = 44100;
    constexpr uint16_t channels = 1;
    constexpr uint16_t bitsPerSample = 16;
    constexpr uint16_t blockAlign = channels * bitsPerSample / 8;
    constexpr uint32_t dataSize = sampleRate * blockAlign;

    Bytes wav;
    wav.text("RIFF");
    wav.u32(36 + dataSize);
    wav.text("WAVE");
    wav.text("fmt ");
    wav.u32(16);
    wav.u16(1); // PCM
    wav.u16(channels);
    wav.u32(sampleRate);
    wav.u32(sampleRate * blockAlign);
    wav.u16(blockAlign);
    wav.u16(bitsPerSample);
    wav.text("data");
    wav.u32(dataSize);
    wav.zeros(dataSize);
    return wav;
}

Bytes blackTiff()
{
    constexpr uint32_t width = 320;
    constexpr uint32_t height = 240;
    constexpr uint16_t entryCount = 11;
    constexpr uint32_t directoryOffset = 8;
    constexpr uint32_t resolutionOffset = directoryOffset + 2 + entryCount * 12 + 4;
    constexpr uint32_t pixelOffset = resolutionOffset + 2 * 8;

    enum Type : uint16_t { Short = 3, Long = 4, Rational = 5 };
    Bytes tiff;
    tiff.text("II");
    tiff.u16(42);
    tiff.u32(directoryOffset);

    tiff.u16(entryCount);
    const auto entry = [&tiff](uint16_t tag, Type type, uint32_t value) {
        tiff.u16(tag);
        tiff.u16(type);
        tiff.u32(1);
        if (type == Short) {
            tiff.u16(uint16_t(value));
            tiff.u16(0);
        } else {
            tiff.u32(value);
        }
    };
    entry(256, Long, width);                    // ImageWidth
    entry(257, Long, height);                   // ImageLength
    entry(258, Short, 8);                       // BitsPerSample
    entry(259, Short, 1);                       // Compression: none
    entry(262, Short, 1);                       // PhotometricInterpretation: black is zero
    entry(273, Long, pixelOffset);              // StripOffsets
    entry(278, Long, height);                   // RowsPerStrip
    entry(279, Long, width * height);           // StripByteCounts
    entry(282, Rational, resolutionOffset);     // XResolution
    entry(283, Rational, resolutionOffset + 8); // YResolution
    entry(296, Short, 2);                       // ResolutionUnit: inch
    tiff.u32(0);                                // no further directory

    for (int axis = 0; axis < 2; ++axis) {
        tiff.u32(72);
        tiff.u32(1);
    }
    tiff.zeros(width * height);
    return tiff;
}

bool writeFile(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data().data(), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "Cannot create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    if (!writeFile(folder / "silence.wav", silenceWav()) ||
        !writeFile(folder / "black.tiff", blackTiff())) {
        std::fprintf(stderr, "Cannot write the resources into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
