// Speed of repairing a recording cut off after so many minutes (4 is about the 100 MB at which
// the recording starts a new file): a movie laid out as the capture
// writes it (a first fragment described by the header, then one-second fragments of 30 pictures
// and 43 sound samples, each after its data), with made-up sample data of a recording's size.
// Each round repairs a fresh copy; the repair reads the headers, copies the data and syncs.

#include "platform/media/FragmentedMovieRepair.h"
#include "platform/media/MovieBoxWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using lq::movie::BoxWriter;

constexpr int kPictures = 30;
constexpr int kSounds = 43;
constexpr uint32_t kPictureBytes = 12'000;
constexpr uint32_t kSoundBytes = 400;

void fullBox(BoxWriter &out, const char *type, std::initializer_list<uint32_t> fields,
             uint32_t flags = 0)
{
    out.open(type, 0, flags);
    for (const uint32_t field : fields)
        out.u32(field);
    out.close();
}

// A header of two tracks (pictures at 3000 a second, sound at 44100) with no samples of its own.
QByteArray header()
{
    BoxWriter out;
    out.open("moov");
    fullBox(out, "mvhd", {0, 0, 3000, 0});
    for (const auto &[id, timescale] : {std::pair{1u, 3000u}, std::pair{2u, 44100u}}) {
        out.open("trak");
        fullBox(out, "tkhd", {0, 0, id, 0, 0});
        out.open("mdia");
        fullBox(out, "mdhd", {0, 0, timescale, 0});
        out.open("minf");
        out.open("stbl");
        fullBox(out, "stsd", {0});
        fullBox(out, "stts", {0});
        fullBox(out, "stsc", {0});
        fullBox(out, "stsz", {0, 0});
        fullBox(out, "stco", {0});
        out.close();
        out.close();
        out.close();
        out.close();
    }
    out.open("mvex");
    fullBox(out, "trex", {1, 1, 100, 0, 0});
    fullBox(out, "trex", {2, 1, 1024, 0, 0});
    out.close();
    out.close();
    return out.data();
}

// One second: its data, then the fragment describing it.
QByteArray fragment(qint64 at)
{
    BoxWriter data;
    data.open("mdat");
    data.bytes(QByteArray(kPictures * kPictureBytes + kSounds * kSoundBytes, 'x'));
    data.close();
    const qint64 base = at + 8;
    BoxWriter out;
    out.open("moof");
    for (const auto &[id, count, size, offset] :
         {std::tuple{1u, kPictures, kPictureBytes, 0u},
          std::tuple{2u, kSounds, kSoundBytes, uint32_t(kPictures * kPictureBytes)}}) {
        out.open("traf");
        // With the base data offset.
        fullBox(out, "tfhd", {id, uint32_t(uint64_t(base) >> 32), uint32_t(base)}, 0x1);
        out.open("trun", 0, 0x201);
        out.u32(uint32_t(count));
        out.u32(offset);
        for (int i = 0; i < count; ++i)
            out.u32(size);
        out.close();
        out.close();
    }
    out.close();
    return data.data() + out.data();
}

void BM_RepairCutOffRecording(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("original.mov"));
    const QString path = folder.filePath(QStringLiteral("recording.mov"));
    {
        QFile file(original);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray::fromHex("0000001466747970717420200000020071742020"));
        file.write(header());
        for (int second = 0; second < state.range(0) * 60; ++second)
            file.write(fragment(file.pos()));
    }
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        QFile::copy(original, path);
        state.ResumeTiming();
        lq::Error error;
        if (lq::FragmentedMovieRepair::repair(path, &error) !=
            lq::FragmentedMovieRepair::Outcome::Repaired)
            state.SkipWithError(qPrintable(error.localizedDescription()));
    }
    state.SetBytesProcessed(state.iterations() * QFile(original).size());
}

} // namespace

BENCHMARK(BM_RepairCutOffRecording)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
