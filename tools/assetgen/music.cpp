// The four pieces of background music, synthesised note by note: additive
// tones with envelopes for melody, chords, arpeggios and bass, and noise or
// swept sines for the drums. Each piece ends on a held chord that fades out.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "assetgen/assets.h"

namespace ag {

namespace {

const int kRate = 22050;

class SineTable {
public:
    SineTable() {
        for (int i = 0; i <= kSize; ++i) t_[i] = float(std::sin(2.0 * 3.14159265358979323846 * i / kSize));
    }
    float operator()(double phase) const {  // phase in cycles
        double p = phase - std::floor(phase);
        double x = p * kSize;
        int i = int(x);
        float f = float(x - i);
        return t_[i] + (t_[i + 1] - t_[i]) * f;
    }

private:
    static const int kSize = 4096;
    float t_[kSize + 1];
};
const SineTable& sine() {
    static const SineTable table;
    return table;
}

struct Timbre {
    std::vector<float> harmonics{1.f};
    float attack = 0.01f, decay = 0.2f, sustain = 0.6f, release = 0.15f;
    float vibratoDepth = 0.f, vibratoRate = 5.f, vibratoDelay = 0.2f;
    float brightDecay = 0.f;  // upper harmonics die away faster (plucks, bells)
    float detune = 0.f;       // second voice, in cents
};

float midiFreq(float m) { return 440.f * std::pow(2.f, (m - 69.f) / 12.f); }

class Track {
public:
    explicit Track(float seconds) : buf_(size_t(seconds * kRate) + 1, 0.f) {}
    std::vector<float>& data() { return buf_; }
    float seconds() const { return float(buf_.size()) / kRate; }

    void tone(float t0, float dur, float midi, float amp, const Timbre& tb) {
        float f0 = midiFreq(midi);
        float total = dur + tb.release;
        size_t s0 = size_t(std::max(0.f, t0) * kRate), n = size_t(total * kRate);
        int voices = tb.detune != 0.f ? 2 : 1;
        for (int voice = 0; voice < voices; ++voice) {
            float f = f0 * (voice ? std::pow(2.f, tb.detune / 1200.f) : 1.f);
            double phase = voice * 0.25;
            for (size_t i = 0; i < n && s0 + i < buf_.size(); ++i) {
                float t = float(i) / kRate;
                float env;
                if (t < tb.attack)
                    env = t / tb.attack;
                else
                    env = tb.sustain + (1.f - tb.sustain) * std::exp(-(t - tb.attack) / tb.decay);
                if (t > dur) env *= std::max(0.f, 1.f - (t - dur) / tb.release);
                float vib = 0.f;
                if (tb.vibratoDepth > 0.f && t > tb.vibratoDelay)
                    vib = tb.vibratoDepth * std::min(1.f, (t - tb.vibratoDelay) * 4.f) * sine()(t * tb.vibratoRate);
                phase += f * (1.f + vib) / kRate;
                float s = 0.f;
                for (size_t h = 0; h < tb.harmonics.size(); ++h) {
                    float hf = f * (h + 1);
                    if (hf > kRate * 0.45f) break;
                    float a = tb.harmonics[h];
                    if (tb.brightDecay > 0.f) a *= std::exp(-t * tb.brightDecay * h);
                    s += a * sine()(phase * (h + 1));
                }
                buf_[s0 + i] += s * env * amp / voices;
            }
        }
    }

    void kick(float t0, float amp) {
        size_t s0 = size_t(t0 * kRate), n = size_t(0.35f * kRate);
        double phase = 0;
        for (size_t i = 0; i < n && s0 + i < buf_.size(); ++i) {
            float t = float(i) / kRate;
            phase += (48.f + 110.f * std::exp(-t * 28.f)) / kRate;
            buf_[s0 + i] += amp * std::exp(-t * 9.f) * sine()(phase) * std::min(1.f, t * 800.f);
        }
    }

    void snare(float t0, float amp, Rng& rng) {
        size_t s0 = size_t(t0 * kRate), n = size_t(0.22f * kRate);
        float prev = 0;
        double phase = 0;
        for (size_t i = 0; i < n && s0 + i < buf_.size(); ++i) {
            float t = float(i) / kRate;
            float w = rng.uniform() * 2.f - 1.f;
            float hp = w - prev * 0.6f;
            prev = w;
            phase += 185.0 / kRate;
            buf_[s0 + i] += amp * (0.7f * hp * std::exp(-t * 16.f) + 0.5f * sine()(phase) * std::exp(-t * 25.f));
        }
    }

    void hat(float t0, float amp, float decay, Rng& rng) {
        size_t s0 = size_t(t0 * kRate), n = size_t(std::min(0.4f, 6.f / decay) * kRate);
        float prev = 0, prev2 = 0;
        for (size_t i = 0; i < n && s0 + i < buf_.size(); ++i) {
            float t = float(i) / kRate;
            float w = rng.uniform() * 2.f - 1.f;
            float hp = w - 2 * prev + prev2;  // second difference: mostly the top octave
            prev2 = prev;
            prev = w;
            buf_[s0 + i] += amp * 0.35f * hp * std::exp(-t * decay);
        }
    }

private:
    std::vector<float> buf_;
};

// ------------------------------------------------------------ notation
// Note names like "C5", "F#4", "Bb3"; "-" is a rest.
float parsePitch(const std::string& s) {
    static const std::map<char, int> base = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    size_t i = 0;
    int n = base.at(s[i++]);
    if (i < s.size() && s[i] == '#') {
        ++n;
        ++i;
    } else if (i < s.size() && s[i] == 'b') {
        --n;
        ++i;
    }
    int octave = std::atoi(s.c_str() + i);
    return float(12 * (octave + 1) + n);
}

struct Note {
    float step, steps, midi;  // midi < 0: rest
};
// "E5/2 G5/2 -/1 ..." : pitch / length in steps.
std::vector<Note> parseLine(const std::string& text) {
    std::vector<Note> out;
    float pos = 0;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        size_t j = text.find(' ', i);
        if (j == std::string::npos) j = text.size();
        std::string tok = text.substr(i, j - i);
        size_t slash = tok.find('/');
        float len = slash == std::string::npos ? 1.f : float(std::atof(tok.c_str() + slash + 1));
        std::string p = tok.substr(0, slash);
        out.push_back({pos, len, p == "-" ? -1.f : parsePitch(p)});
        pos += len;
        i = j;
    }
    return out;
}

// Chord symbols: root, then "", "m", "7", "m7", "maj7", "sus4".
std::vector<float> chordTones(const std::string& sym, int octave) {
    std::string root = sym.substr(0, (sym.size() > 1 && (sym[1] == '#' || sym[1] == 'b')) ? 2 : 1);
    std::string q = sym.substr(root.size());
    float r = parsePitch(root + std::to_string(octave));
    std::vector<int> iv = {0, 4, 7};
    if (q == "m")
        iv = {0, 3, 7};
    else if (q == "7")
        iv = {0, 4, 7, 10};
    else if (q == "m7")
        iv = {0, 3, 7, 10};
    else if (q == "maj7")
        iv = {0, 4, 7, 11};
    else if (q == "sus4")
        iv = {0, 5, 7};
    std::vector<float> out;
    for (int v : iv) out.push_back(r + v);
    return out;
}

Timbre leadTimbre() {
    Timbre tb;
    tb.harmonics = {1.f, 0.55f, 0.4f, 0.25f, 0.2f, 0.12f, 0.08f, 0.05f};
    tb.attack = 0.012f;
    tb.decay = 0.25f;
    tb.sustain = 0.55f;
    tb.release = 0.12f;
    tb.vibratoDepth = 0.004f;
    tb.vibratoRate = 5.5f;
    tb.vibratoDelay = 0.18f;
    return tb;
}
Timbre padTimbre() {
    Timbre tb;
    tb.harmonics = {1.f, 0.5f, 0.33f, 0.25f, 0.2f, 0.16f};
    tb.attack = 0.25f;
    tb.decay = 1.f;
    tb.sustain = 0.8f;
    tb.release = 0.4f;
    tb.detune = 9.f;
    return tb;
}
Timbre bellTimbre() {
    Timbre tb;
    tb.harmonics = {1.f, 0.f, 0.35f, 0.f, 0.15f, 0.f, 0.05f};
    tb.attack = 0.004f;
    tb.decay = 0.22f;
    tb.sustain = 0.f;
    tb.release = 0.2f;
    tb.brightDecay = 3.f;
    return tb;
}
Timbre bassTimbre() {
    Timbre tb;
    tb.harmonics = {1.f, 0.6f, 0.3f, 0.15f, 0.08f};
    tb.attack = 0.006f;
    tb.decay = 0.18f;
    tb.sustain = 0.45f;
    tb.release = 0.08f;
    tb.brightDecay = 2.f;
    return tb;
}

// A piece: chords, melody, bass and drum patterns, and the instruments that
// play them (by default the lead, pad, bass and bell sounds above).
struct Arrangement {
    float bpm = 120;
    int stepsPerBar = 8;              // melody and bass steps (eighths)
    std::vector<std::string> chords;  // one per bar
    std::string melody;
    std::string bassPattern;         // per bar, one char per step: R root, 5 fifth, 8 octave, '.' nothing
    std::vector<std::string> drums;  // per bar, 16 chars: k kick, s snare, h hat, o open hat, x kick+hat, S snare+hat
    std::string endChord;
    float endSeconds = 3.f;
    Timbre lead = leadTimbre(), pad = padTimbre(), bass = bassTimbre(), arp = bellTimbre();
    float leadAmp = 0.3f, padAmp = 0.1f, bassAmp = 0.35f, arpAmp = 0.12f, drumAmp = 0.5f;
    int leadOctaveShift = 0;
    std::string arpPattern = "0121";  // indexes into the chord tones per arp step
    int arpStepsPerBar = 16;
    int barsIntroWithoutLead = 0;
};

// Every tone of a chord, in the given octave, held together.
void playChord(Track& t, const std::string& chord, int octave, float t0, float dur, float amp, const Timbre& tb) {
    for (float m : chordTones(chord, octave)) t.tone(t0, dur, m, amp, tb);
}

std::vector<int16_t> render(const Arrangement& a, uint64_t seed) {
    const float step = 60.f / a.bpm / 2.f;  // one eighth
    const float bar = step * a.stepsPerBar;
    const int bars = int(a.chords.size());
    const float length = bars * bar + a.endSeconds + 0.5f;
    Track t(length);
    Rng rng(seed);
    // Chords and arpeggios.
    for (int b = 0; b < bars; ++b) {
        float t0 = b * bar;
        playChord(t, a.chords[b], 4, t0, bar * 0.98f, a.padAmp, a.pad);
        auto arpTones = chordTones(a.chords[b], 5);
        float arpStep = bar / a.arpStepsPerBar;
        if (a.arpAmp > 0)
            for (int s = 0; s < a.arpStepsPerBar; ++s) {
                int idx = a.arpPattern[s % a.arpPattern.size()] - '0';
                float m = arpTones[idx % arpTones.size()] + 12.f * float(idx / int(arpTones.size()));
                t.tone(t0 + s * arpStep, arpStep * 0.9f, m, a.arpAmp * (s % 4 == 0 ? 1.f : 0.75f), a.arp);
            }
        // Bass.
        float root = chordTones(a.chords[b], 2)[0];
        for (int s = 0; s < a.stepsPerBar && s < int(a.bassPattern.size()); ++s) {
            char c = a.bassPattern[s];
            if (c == '.') continue;
            int len = 1;
            while (s + len < a.stepsPerBar && a.bassPattern[s + len] == '.') ++len;
            float m = root + (c == '5' ? 7.f : (c == '8' ? 12.f : 0.f));
            t.tone(t0 + s * step, len * step * 0.85f, m, a.bassAmp, a.bass);
        }
        // Drums.
        if (!a.drums.empty()) {
            const std::string& d = a.drums[b % a.drums.size()];
            for (size_t s = 0; s < d.size(); ++s) {
                float ts = t0 + s * bar / 16.f;
                const char c = d[s];
                // 'x' is a kick and 'S' a snare, each with a closed hat on top.
                if (c == 'k' || c == 'x') t.kick(ts, a.drumAmp);
                if (c == 's' || c == 'S') t.snare(ts, a.drumAmp * 0.7f, rng);
                if (c == 'h' || c == 'x' || c == 'S') t.hat(ts, a.drumAmp * 0.5f, 55.f, rng);
                if (c == 'o') t.hat(ts, a.drumAmp * 0.5f, 12.f, rng);
            }
        }
    }
    // Melody, starting after the intro bars.
    for (const Note& n : parseLine(a.melody)) {
        if (n.midi < 0) continue;
        float t0 = a.barsIntroWithoutLead * bar + n.step * step;
        t.tone(t0, n.steps * step * 0.92f, n.midi + 12.f * a.leadOctaveShift, a.leadAmp, a.lead);
    }
    // The closing chord, held while everything fades.
    float tEnd = bars * bar;
    Timbre endPad = a.pad;
    endPad.release = 0.3f;
    playChord(t, a.endChord, 4, tEnd, a.endSeconds, a.padAmp * 1.6f, endPad);
    playChord(t, a.endChord, 5, tEnd, a.endSeconds, a.arpAmp * 1.2f, a.arp);
    t.tone(tEnd, a.endSeconds, chordTones(a.endChord, 2)[0], a.bassAmp, a.bass);
    if (a.drumAmp > 0) t.kick(tEnd, a.drumAmp);
    std::vector<float>& buf = t.data();
    // Fade over the held chord down to silence at the very end.
    size_t fadeStart = size_t(tEnd * kRate), end = buf.size();
    for (size_t i = fadeStart; i < end; ++i) {
        float x = float(i - fadeStart) / float(end - fadeStart);
        float g = (1.f - x) * (1.f - x);
        buf[i] *= g;
    }
    float peak = 1e-6f;
    for (float v : buf) peak = std::max(peak, std::fabs(v));
    float gain = 0.89f / peak;
    std::vector<int16_t> out(buf.size());
    for (size_t i = 0; i < buf.size(); ++i) out[i] = int16_t(std::lround(buf[i] * gain * 32767.f));
    return out;
}

// Title: bright and adventurous, C major, 120 bpm, 16 bars and a held chord.
Arrangement titleTheme() {
    Arrangement a;
    a.bpm = 120;
    a.chords = {"C", "G", "C", "G", "F", "G", "Em", "Am", "F", "G", "Em", "Am", "C", "G", "F", "G"};
    a.barsIntroWithoutLead = 2;
    a.melody =
        // first phrase
        "E5/2 G5/2 C6/3 B5/1 D6/2 B5/2 G5/3 -/1 "
        // rising answer over F and G
        "A5/1 A5/1 C6/2 A5/2 F5/2 G5/1 G5/1 B5/2 D6/2 G5/2 "
        "E5/2 G5/2 B5/2 E6/2 D6/2 C6/2 B5/2 A5/2 "
        "A5/2 C6/2 F6/2 E6/1 D6/1 D6/2 E6/1 D6/1 B5/2 G5/2 "
        "G5/2 B5/2 E6/3 D6/1 C6/2 B5/2 A5/2 G5/2 "
        "E5/2 G5/2 C6/3 B5/1 D6/2 B5/2 G5/3 A5/1 "
        "A5/2 C6/2 F6/4 G6/2 F6/2 D6/2 B5/2";
    a.bassPattern = "R..R5.R.";
    const std::string intro = "h.h.h.h.h.h.h.hh";
    const std::string beat = "x.h.S.h.x.hkS.ho";
    a.drums = {intro, intro, beat, beat, beat, beat, beat, beat,
               beat,  beat,  beat, beat, beat, beat, beat, "x.h.S.h.x.S.SSSS"};
    a.endChord = "C";
    a.endSeconds = 3.5f;
    a.arpPattern = "0121";
    a.arpStepsPerBar = 8;
    a.leadAmp = 0.32f;
    a.padAmp = 0.07f;
    a.bassAmp = 0.38f;
    a.arpAmp = 0.12f;
    a.drumAmp = 0.45f;
    return a;
}

// Stage one: calm sea, D major, slow, bells and soft pads, a light shaker.
Arrangement calmSea() {
    Arrangement a;
    a.bpm = 80;
    a.chords = {"Dmaj7", "Bm7", "Gmaj7", "A", "Dmaj7", "Gmaj7", "Asus4"};
    a.barsIntroWithoutLead = 1;
    a.melody = "F#5/3 E5/1 D5/2 A4/2 B4/3 C#5/1 D5/4 "
               "A5/3 G5/1 F#5/2 E5/2 E5/6 -/2 "
               "F#5/3 A5/1 B5/2 A5/2 G5/3 F#5/1 E5/4";
    a.bassPattern = "R...5...";
    a.drums = {"....h.......h...", "....h.......h..h"};
    a.endChord = "D";
    a.endSeconds = 3.f;
    a.lead.harmonics = {1.f, 0.2f, 0.08f};
    a.lead.attack = 0.05f;
    a.lead.vibratoDepth = 0.005f;
    a.pad.attack = 0.6f;
    a.bass.harmonics = {1.f, 0.3f, 0.1f};
    a.arpPattern = "01232103";
    a.arpStepsPerBar = 8;
    a.leadAmp = 0.26f;
    a.padAmp = 0.08f;
    a.bassAmp = 0.3f;
    a.arpAmp = 0.13f;
    a.drumAmp = 0.3f;
    return a;
}

// Stage two: the fight, A minor with E major, fast and driving.
Arrangement tenseFight() {
    Arrangement a;
    a.bpm = 150;
    a.chords = {"Am", "Am", "F", "E", "Am", "Am", "F", "E", "Dm", "Am", "E", "E"};
    a.barsIntroWithoutLead = 2;
    a.melody = "A5/1 -/1 A5/1 C6/1 B5/1 A5/1 G#5/2 A5/1 -/1 A5/1 E5/1 F5/1 E5/1 D5/1 E5/1 "
               "A5/1 -/1 A5/1 C6/1 E6/2 D6/1 C6/1 B5/2 G#5/2 E5/4 "
               "D6/1 -/1 D6/1 F6/1 E6/1 D6/1 C6/2 C6/1 B5/1 A5/1 E6/1 -/2 E5/2 "
               "G#5/2 B5/2 D6/2 E6/2 E6/1 D6/1 C6/1 B5/1 G#5/2 E5/2";
    a.bassPattern = "R8R8R8R8";
    a.drums = {"k.h.k.h.k.h.k.hh", "k.h.k.h.k.h.kkhh", "x.hhS.hhx.hkS.hh", "x.hhS.hhx.hkS.hh",
               "x.hhS.hhx.hkS.hh", "x.hhS.hhx.hkS.hh", "x.hhS.hhx.hkS.hh", "x.hhS.hhxkhkSSSS",
               "x.hhS.hhx.hkS.hh", "x.hhS.hhx.hkS.hh", "x.hhS.hhx.hkS.hh", "x.S.S.S.SSSSSSSS"};
    a.endChord = "Am";
    a.endSeconds = 2.f;
    a.lead.decay = 0.12f;
    a.lead.sustain = 0.35f;
    a.lead.vibratoDepth = 0.f;
    a.bass.harmonics = {1.f, 0.8f, 0.5f, 0.35f, 0.2f, 0.12f};
    a.bass.decay = 0.1f;
    a.bass.sustain = 0.3f;
    a.arpPattern = "0102";
    a.arpStepsPerBar = 16;
    a.leadAmp = 0.3f;
    a.padAmp = 0.06f;
    a.bassAmp = 0.34f;
    a.arpAmp = 0.07f;
    a.drumAmp = 0.5f;
    return a;
}

// Result: cheerful, G major, bouncy.
Arrangement cheerfulResult() {
    Arrangement a;
    a.bpm = 132;
    a.chords = {"G", "C", "D", "G", "Em", "C", "D", "G"};
    a.melody = "B5/1 D6/1 G6/2 F#6/1 E6/1 D6/2 E6/1 C6/1 E6/2 G6/2 E6/2 "
               "F#6/1 E6/1 D6/2 A5/2 F#6/2 G6/3 D6/1 B5/4 "
               "E6/1 F#6/1 G6/2 E6/2 B5/2 C6/1 D6/1 E6/2 C6/2 A5/2 "
               "D6/1 E6/1 F#6/2 A6/2 F#6/2 G6/4 -/4";
    a.bassPattern = "R.5.R.5.";
    a.drums = {"x.h.S.h.x.hxS.h.", "x.h.S.h.x.hxS.hS"};
    a.endChord = "G";
    a.endSeconds = 2.5f;
    a.lead.decay = 0.15f;
    a.lead.sustain = 0.45f;
    a.arpPattern = "0120";
    a.arpStepsPerBar = 8;
    a.leadAmp = 0.3f;
    a.padAmp = 0.06f;
    a.bassAmp = 0.36f;
    a.arpAmp = 0.1f;
    a.drumAmp = 0.45f;
    return a;
}

}  // namespace

std::vector<Song> makeSongs() {
    std::vector<Song> out;
    out.push_back({"SE/BGM_TITLE.wav", render(titleTheme(), 1), kRate});
    out.push_back({"SE/BGM_GAME1.wav", render(calmSea(), 2), kRate});
    out.push_back({"SE/BGM_GAME2.wav", render(tenseFight(), 3), kRate});
    out.push_back({"SE/BGM_RESULT.wav", render(cheerfulResult(), 4), kRate});
    return out;
}

std::string writeWav(const Song& song) {
    std::string s;
    auto u32 = [&s](uint32_t v) {
        for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&s](uint16_t v) {
        s += char(v & 0xFF);
        s += char(v >> 8);
    };
    uint32_t dataBytes = uint32_t(song.samples.size() * 2);
    s += "RIFF";
    u32(4 + 8 + 16 + 8 + dataBytes);
    s += "WAVE";
    s += "fmt ";
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(uint32_t(song.rate));
    u32(uint32_t(song.rate) * 2);
    u16(2);
    u16(16);
    s += "data";
    u32(dataBytes);
    for (int16_t v : song.samples) u16(uint16_t(v));
    return s;
}

}  // namespace ag
