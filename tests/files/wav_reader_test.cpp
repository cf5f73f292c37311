// The wave file reader against files built byte by byte: every sample format, the extensible
// and RF64 forms, unknown chunks, a data size a killed recorder left wrong, and refusals.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "files/wav_header.h"
#include "files/wav_reader.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void Put16(Bytes& b, uint32_t v) { for (int i = 0; i < 2; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i))); }
void Put32(Bytes& b, uint64_t v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i))); }
void Put64(Bytes& b, uint64_t v) { for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i))); }

struct Form {
    uint16_t tag;      // 1 PCM, 3 float, 0xFFFE extensible
    uint16_t subTag;   // the extensible form's sub-format
    int bits;
    int channels;
    bool rf64;
};

// A file of `frames` frames in the form, with an unknown chunk "abcd" before the data; sample
// values from `value(frame, channel)` given as the stored integers (or floats).
Bytes Build(const Form& f, int frames, const std::vector<double>& values, uint32_t dataSizeField = 0)
{
    const int bytes = f.bits / 8;
    Bytes data;
    for (double v : values) {
        if (f.tag == 3 || f.subTag == 3) {
            const float x = static_cast<float>(v);
            uint32_t u;
            std::memcpy(&u, &x, 4);
            Put32(data, u);
        } else {
            const int64_t i = static_cast<int64_t>(v);
            for (int k = 0; k < bytes; ++k) data.push_back(static_cast<uint8_t>(static_cast<uint64_t>(i) >> (8 * k)));
        }
    }
    Bytes fmt;
    Put16(fmt, f.tag);
    Put16(fmt, f.channels);
    Put32(fmt, 48000);
    Put32(fmt, 48000 * f.channels * bytes);
    Put16(fmt, f.channels * bytes);
    Put16(fmt, f.bits);
    if (f.tag == 0xFFFE) {
        Put16(fmt, 22);
        Put16(fmt, f.bits);
        Put32(fmt, 3);
        Put16(fmt, f.subTag);
        const uint8_t rest[] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), rest, rest + sizeof rest);
    }
    Bytes b;
    Put(b, f.rf64 ? "RF64" : "RIFF");
    Put32(b, 0xFFFFFFFF); // readers need not trust it
    Put(b, "WAVE");
    if (f.rf64) {
        Put(b, "ds64");
        Put32(b, 28);
        Put64(b, 0);
        Put64(b, data.size());
        Put64(b, static_cast<uint64_t>(frames));
        Put32(b, 0);
    }
    Put(b, "fmt ");
    Put32(b, fmt.size());
    b.insert(b.end(), fmt.begin(), fmt.end());
    Put(b, "abcd");
    Put32(b, 3);
    Put(b, "xyz");
    b.push_back(0); // pad byte
    Put(b, "data");
    Put32(b, f.rf64 ? 0xFFFFFFFF : (dataSizeField ? dataSizeField : data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

class WavReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("velmora-wavreader-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const Bytes& b, const std::string& name = "f.wav")
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return p.string();
    }
    fs::path dir_;
};

} // namespace

TEST_F(WavReaderTest, ReadsEveryFormAsFullScaleFractions)
{
    struct Case {
        Form form;
        std::vector<double> stored; // 3 frames
        std::vector<double> read;
    };
    const std::vector<Case> cases = {
        {{1, 0, 16, 1, false}, {-32768, 16384, 32767}, {-1, 0.5, 32767 / 32768.0}},
        {{1, 0, 24, 2, false}, {-8388608, 4194304, 1, -1, 0, 8388607},
         {-1, 0.5, 1 / 8388608.0, -1 / 8388608.0, 0, 8388607 / 8388608.0}},
        {{1, 0, 32, 1, false}, {-2147483648.0, 1073741824, 0}, {-1, 0.5, 0}},
        {{3, 0, 32, 1, false}, {0.25, -1.5, 1}, {0.25, -1.5, 1}},
        {{0xFFFE, 1, 16, 3, false}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {{0xFFFE, 3, 32, 1, false}, {0.5, 0.25, -0.125}, {0.5, 0.25, -0.125}},
        {{1, 0, 24, 1, true}, {100, 200, -300}, {100 / 8388608.0, 200 / 8388608.0, -300 / 8388608.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tag " + std::to_string(c.form.tag) + ", " + std::to_string(c.form.bits) + " bits, " +
                     std::to_string(c.form.channels) + " channels" + (c.form.rf64 ? ", RF64" : ""));
        const WavReader r(Write(Build(c.form, 3, c.stored)));
        EXPECT_EQ(r.channels(), c.form.channels);
        EXPECT_EQ(r.samplingRate(), 48000);
        EXPECT_EQ(r.frames(), 3);
        std::vector<double> got(c.read.size());
        r.read(0, 3, got.data());
        std::vector<double> want = c.read;
        if (c.form.tag == 0xFFFE && c.form.subTag == 1)
            for (double& v : want) v /= 32768.0;
        EXPECT_EQ(got, want);
        ASSERT_NE(r.chunk("abcd"), nullptr);
        EXPECT_EQ(std::string(r.chunk("abcd")->bytes.begin(), r.chunk("abcd")->bytes.end()), "xyz");
    }
}

TEST_F(WavReaderTest, ReadsOneChannelAndZerosOutsideTheData)
{
    const WavReader r(Write(Build({1, 0, 16, 2, false}, 3, {1, 2, 3, 4, 5, 6})));
    std::vector<double> got(5);
    r.readChannel(1, -1, 5, got.data());
    EXPECT_EQ(got, (std::vector<double>{0, 2 / 32768.0, 4 / 32768.0, 6 / 32768.0, 0}));
}

TEST_F(WavReaderTest, TakesTheSamplesThereWhenTheDataSizeIsWrong)
{
    // A recorder killed before it wrote the sizes leaves 0 or a size past the end.
    for (uint32_t field : {0u, 1000000u}) {
        const WavReader r(Write(Build({1, 0, 16, 1, false}, 3, {1, 2, 3}, field)));
        EXPECT_EQ(r.frames(), 3);
    }
}

TEST_F(WavReaderTest, ReadsWhatTheExportWrites)
{
    WavFormat f;
    f.channels = 2;
    f.bytesPerFrame = 8;
    f.floating = true;
    Bytes b = MakeWavHeader(f, 1);
    for (float x : {0.5f, -0.25f}) {
        uint32_t u;
        std::memcpy(&u, &x, 4);
        Put32(b, u);
    }
    const WavReader r(Write(b));
    std::vector<double> got(2);
    r.read(0, 1, got.data());
    EXPECT_EQ(got, (std::vector<double>{0.5, -0.25}));
}

TEST_F(WavReaderTest, RefusesWhatItCannotRead)
{
    struct Case {
        Bytes bytes;
        std::string says;
    };
    Bytes notRiff = Build({1, 0, 16, 1, false}, 1, {0});
    notRiff[0] = 'X';
    Bytes adpcm = Build({2, 0, 16, 1, false}, 1, {0});
    Bytes eightBit = Build({1, 0, 8, 1, false}, 1, {0});
    const std::vector<Case> cases = {
        {notRiff, "is not a wave file"},
        {adpcm, "format 2"},
        {eightBit, "8-bit"},
        {Bytes(5, 0), "too short"},
    };
    for (const Case& c : cases) {
        const std::string path = Write(c.bytes);
        try {
            WavReader r(path);
            ADD_FAILURE() << "accepted: " << c.says;
        } catch (const WavReadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(WavReader((dir_ / "missing.wav").string()), WavReadError);
}
