// Writes the game's two sound effects, fire.wav and boom.wav, into the folder
// given as the only argument (the current folder without one). Everything is
// computed from fixed numbers and a fixed noise seed, so every run writes the
// same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double PeakDbfs = -3.0;

// A small fixed-seed generator: std::rand and the <random> distributions may
// differ between library versions, this does not.
class TNoise
{
public:
    double Next() // uniform in [-1, 1)
    {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return double(FState) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t FState = 0x2545F491u;
};

// Raised-cosine ramp from 0 to 1 as X goes from 0 to 1: no corner in the slope,
// so the start and the end do not click.
double Ramp(double X)
{
    X = std::clamp(X, 0.0, 1.0);
    return 0.5 - 0.5 * std::cos(Pi * X);
}

// Fade in over Attack seconds and out over Release seconds to exactly zero at
// the last sample.
double Edges(int I, int Count, int Rate, double Attack, double Release)
{
    const double t = double(I) / Rate;
    const double left = double(Count - 1 - I) / Rate;
    return Ramp(t / Attack) * Ramp(left / Release);
}

std::vector<std::int16_t> ToPcm(const std::vector<double> &Signal)
{
    double peak = 0;
    for (double v : Signal)
        peak = std::max(peak, std::fabs(v));
    const double gain = peak > 0 ? std::pow(10.0, PeakDbfs / 20.0) / peak : 0.0;
    std::vector<std::int16_t> pcm(Signal.size());
    for (std::size_t i = 0; i < Signal.size(); ++i)
        pcm[i] = std::int16_t(std::lround(Signal[i] * gain * 32767.0));
    return pcm;
}

// Laser shot: a tone falling from 2.4 kHz to 220 Hz with two overtones that
// fade faster than the tone, a 2 ms attack and a smooth decay.
std::vector<std::int16_t> Fire()
{
    const int rate = 44100, count = 22932; // 0.52 s
    const double length = double(count) / rate;
    std::vector<double> s(count);
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / rate;
        const double f = 220.0 + (2400.0 - 220.0) * std::exp(-t / 0.09);
        phase += 2 * Pi * f / rate;
        const double bright = std::exp(-t / 0.12);
        const double tone = std::sin(phase) + 0.30 * bright * std::sin(2 * phase)
                            + 0.12 * bright * std::sin(3 * phase);
        const double decay = std::exp(-t / 0.15) * (1.0 - 0.3 * t / length);
        s[i] = tone * decay * Edges(i, count, rate, 0.002, 0.04);
    }
    return ToPcm(s);
}

// Explosion: a noise burst whose low-pass closes from 4 kHz to 150 Hz, a
// thump falling from 110 Hz to 38 Hz, and a low rumble dying away over the
// whole clip.
std::vector<std::int16_t> Boom()
{
    const int rate = 16000, count = 22400; // 1.40 s
    std::vector<double> s(count);
    TNoise noise;
    double burst1 = 0, burst2 = 0, rumble1 = 0, rumble2 = 0;
    double phase = 0, dcIn = 0, dcOut = 0;
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / rate;
        const double n = noise.Next();

        const double cutoff = 150.0 + (4000.0 - 150.0) * std::exp(-t / 0.12);
        const double a = 1.0 - std::exp(-2 * Pi * cutoff / rate);
        burst1 += a * (n - burst1);
        burst2 += a * (burst1 - burst2);
        const double burst = burst2 * std::exp(-t / 0.18) * 1.6;

        const double r = 1.0 - std::exp(-2 * Pi * 120.0 / rate);
        rumble1 += r * (n - rumble1);
        rumble2 += r * (rumble1 - rumble2);
        const double rumble = rumble2 * 9.0 * std::exp(-t / 0.45);

        const double f = 38.0 + (110.0 - 38.0) * std::exp(-t / 0.15);
        phase += 2 * Pi * f / rate;
        const double thump = 0.9 * std::sin(phase) * std::exp(-t / 0.22);

        // A DC blocker: filtered noise drifts, and an offset would click at
        // the start and the end.
        const double x = burst + rumble + thump;
        dcOut = x - dcIn + 0.9975 * dcOut;
        dcIn = x;
        s[i] = dcOut * Edges(i, count, rate, 0.003, 0.12);
    }
    return ToPcm(s);
}

void Put16(std::string &Out, std::uint16_t V)
{
    Out += char(V & 0xff);
    Out += char(V >> 8);
}

void Put32(std::string &Out, std::uint32_t V)
{
    Put16(Out, std::uint16_t(V & 0xffff));
    Put16(Out, std::uint16_t(V >> 16));
}

bool WriteWav(const std::string &Path, int Rate, const std::vector<std::int16_t> &Pcm)
{
    const std::uint32_t dataBytes = std::uint32_t(Pcm.size() * 2);
    std::string out;
    out += "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, 1); // mono
    Put32(out, std::uint32_t(Rate));
    Put32(out, std::uint32_t(Rate * 2));
    Put16(out, 2);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (std::int16_t v : Pcm)
        Put16(out, std::uint16_t(v));
    std::ofstream f(Path, std::ios::binary | std::ios::trunc);
    f.write(out.data(), std::streamsize(out.size()));
    return bool(f);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? std::string(argv[1]) + "/" : std::string();
    bool ok = WriteWav(dir + "fire.wav", 44100, Fire());
    ok = WriteWav(dir + "boom.wav", 16000, Boom()) && ok;
    if (!ok) {
        std::fprintf(stderr, "kb_synthwav: cannot write into %s\n", dir.empty() ? "." : dir.c_str());
        return 1;
    }
    return 0;
}
