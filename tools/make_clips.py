#!/usr/bin/env python3
"""Makes the four embedded sound clips sounds/clips/101.wav .. 104.wav.

    python3 tools/make_clips.py [output-dir]      (default: sounds/clips beside this folder)

Needs Python 3 (standard library only) and, for the spoken message of clip 101, the programs
espeak-ng and sox (apt-get install espeak-ng sox). Every random choice comes from fixed seeds,
so the same tool versions remake the same bytes. The build does not run this: the clips are
checked in.

101  answering-machine greeting, 8000 Hz 8-bit, 60000 samples, played once
102  traffic passing on a busy road, 22050 Hz 16-bit, 71669 samples, looped
103  two dogs barking behind a door, 8000 Hz 8-bit, 12348 samples, looped
104  double click of a telephone hook switch, 22050 Hz 8-bit, 10024 samples
"""

import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import wave

# --- RIFF images ---------------------------------------------------------------------------


def chunk(ident, body):
    pad = b"\0" if len(body) % 2 else b""
    return ident + struct.pack("<I", len(body)) + body + pad


def fmt_body(rate, bits, extra_size_field):
    align = bits // 8
    body = struct.pack("<HHIIHH", 1, 1, rate, rate * align, align, bits)
    if extra_size_field:
        body += struct.pack("<H", 0)
    return body


def riff(chunks, trailing=b""):
    form = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(form)) + form + trailing


def image_101(samples):
    return riff([chunk(b"fmt ", fmt_body(8000, 8, True)),
                 chunk(b"fact", struct.pack("<I", len(samples))),
                 chunk(b"data", bytes(samples)),
                 chunk(b"\0\0\0\0", b"")])


def image_102(samples):
    data = struct.pack("<%dh" % len(samples), *samples)
    return riff([chunk(b"fmt ", fmt_body(22050, 16, False)),
                 chunk(b"fact", struct.pack("<I", len(samples))),
                 chunk(b"data", data)], trailing=b"\0\0")


def image_plain(rate, samples):
    return riff([chunk(b"fmt ", fmt_body(rate, 8, False)), chunk(b"data", bytes(samples))])


# --- Signal helpers (floats, full scale 1.0) -----------------------------------------------


class Biquad:
    """Second-order filter after the well-known audio cookbook formulas."""

    def __init__(self, kind, freq, rate, q=0.7071, gain_db=0.0):
        w = 2 * math.pi * freq / rate
        cw, sw = math.cos(w), math.sin(w)
        alpha = sw / (2 * q)
        a = 10 ** (gain_db / 40)
        if kind == "lowpass":
            b = [(1 - cw) / 2, 1 - cw, (1 - cw) / 2]
            d = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "highpass":
            b = [(1 + cw) / 2, -(1 + cw), (1 + cw) / 2]
            d = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "bandpass":
            b = [alpha, 0.0, -alpha]
            d = [1 + alpha, -2 * cw, 1 - alpha]
        elif kind == "peak":
            b = [1 + alpha * a, -2 * cw, 1 - alpha * a]
            d = [1 + alpha / a, -2 * cw, 1 - alpha / a]
        else:
            raise ValueError(kind)
        self.b = [x / d[0] for x in b]
        self.a = [d[1] / d[0], d[2] / d[0]]

    def run(self, xs):
        b0, b1, b2 = self.b
        a1, a2 = self.a
        x1 = x2 = y1 = y2 = 0.0
        out = []
        for x in xs:
            y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1, y2, y1 = x1, x, y1, y
            out.append(y)
        return out


def chain(xs, *filters):
    for f in filters:
        xs = f.run(xs)
    return xs


def one_pole(xs, coeff):
    y = 0.0
    out = []
    for x in xs:
        y += coeff * (x - y)
        out.append(y)
    return out


def white(rng, n):
    return [rng.gauss(0.0, 1.0) for _ in range(n)]


def rms(xs):
    return math.sqrt(sum(x * x for x in xs) / len(xs)) if xs else 0.0


def db(x):
    return 20 * math.log10(max(x, 1e-12))


def scaled(xs, gain):
    return [x * gain for x in xs]


def to_rms(xs, level_db):
    return scaled(xs, 10 ** (level_db / 20) / rms(xs))


def mix_into(dest, src, at, wrap=False):
    n = len(dest)
    for i, x in enumerate(src):
        j = at + i
        if wrap:
            dest[j % n] += x
        elif 0 <= j < n:
            dest[j] += x


def seamless_loop(xs, n, fade):
    """Turns n + fade samples, of which the first `fade` run ahead of the loop, into n samples
    whose end flows into their start: the tail fades over into the lead-in, equal power."""
    lead, body = xs[:fade], xs[fade:fade + n]
    out = list(body)
    for j in range(fade):
        t = (j + 0.5) / fade
        out[n - fade + j] = body[n - fade + j] * math.cos(t * math.pi / 2) + \
            lead[j] * math.sin(t * math.pi / 2)
    return out


def to_u8(xs):
    return [min(255, max(0, int(round(x * 128)) + 128)) for x in xs]


# --- 101: the answering-machine greeting ----------------------------------------------------

GREETING = [  # text, pitch (espeak-ng's 0 to 99), pause after it (s)
    ("Hi, you've reached Sam.", 85, 0.14),
    ("I can't take your call right now.", 65, 0.12),
    ("Please leave a message after the tone.", 75, 0.0),
]


def read_wav(path):
    with wave.open(path, "rb") as w:
        frames = w.readframes(w.getnframes())
        rate = w.getframerate()
    return [s / 32768 for s in struct.unpack("<%dh" % (len(frames) // 2), frames)], rate


def speak(text, pitch, workdir, index):
    raw = os.path.join(workdir, "phrase%d.wav" % index)
    tel = os.path.join(workdir, "phrase%d-8k.wav" % index)
    ssml = '<speak><prosody range="x-high">%s</prosody></speak>' % text
    subprocess.run(["espeak-ng", "-m", "-v", "en-us", "-s", "165", "-p", str(pitch), "-a", "120",
                    "-w", raw, ssml], check=True)
    subprocess.run(["sox", "-R", "-D", raw, "-r", "8000", "-b", "16", tel,
                    "highpass", "280", "lowpass", "3300"], check=True)
    samples, _ = read_wav(tel)
    return trimmed(samples, 0.004)


def trimmed(xs, threshold):
    loud = [i for i, x in enumerate(xs) if abs(x) > threshold]
    return xs[loud[0]:loud[-1] + 1] if loud else []


def stretched(xs, workdir, factor):
    """Changes the speaking tempo by `factor` without changing the pitch (sox tempo)."""
    src = os.path.join(workdir, "speech.wav")
    dst = os.path.join(workdir, "speech-fit.wav")
    with wave.open(src, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(struct.pack("<%dh" % len(xs),
                                  *[max(-32768, min(32767, int(round(x * 32767)))) for x in xs]))
    subprocess.run(["sox", "-R", "-D", src, dst, "tempo", "-s", "%.4f" % factor], check=True)
    return read_wav(dst)[0]


def levelled(xs, rate, target_db):
    """A slow automatic gain control, as the machine's recording circuit would apply."""
    env = 1e-3
    attack, release = 1 - math.exp(-1 / (0.010 * rate)), 1 - math.exp(-1 / (0.300 * rate))
    target = 10 ** (target_db / 20)
    out = []
    for x in xs:
        a = abs(x)
        env += (attack if a > env else release) * (a - env)
        gain = min(6.0, target / max(env, 1e-4))
        out.append(x * gain)
    return out


def saturated(xs, drive):
    return [math.tanh(drive * x) / math.tanh(drive) for x in xs]


def make_101(workdir):
    rate, n = 8000, 60000
    rng = random.Random(101)
    speech_start, speech_end = int(0.52 * rate), int(6.12 * rate)

    speech = []
    for i, (text, pitch, gap) in enumerate(GREETING):
        speech += speak(text, pitch, workdir, i) + [0.0] * int(gap * rate)
    tempo = len(speech) / (speech_end - speech_start)
    print("101: message spoken %.2f times as fast as espeak-ng speaks it" % tempo, file=sys.stderr)
    speech = stretched(speech, workdir, tempo)
    speech = speech[:speech_end - speech_start]
    speech = chain(levelled(speech, rate, 0.22),
                   Biquad("peak", 1700, rate, q=0.9, gain_db=3.0),
                   Biquad("highpass", 300, rate, q=0.6))
    speech = with_few_full_scale_peaks(saturated(to_rms(speech, -15.5), 1.2), 10)

    # The answering tone, 1 kHz with soft edges.
    beep_start, beep_len = int(6.30 * rate), int(0.55 * rate)
    beep = [0.36 * math.sin(2 * math.pi * 1000 * i / rate) *
            min(1.0, i / 40, (beep_len - i) / 40) for i in range(beep_len)]

    # Line hiss and hum, present throughout.
    hiss = chain(white(rng, n), Biquad("highpass", 300, rate), Biquad("lowpass", 3000, rate))
    hum = [math.sin(2 * math.pi * 150 * i / rate) + 0.4 * math.sin(2 * math.pi * 300 * i / rate)
           for i in range(n)]
    line = [a + b for a, b in zip(to_rms(hiss, -44.0), to_rms(hum, -47.0))]

    signal = list(line)
    mix_into(signal, speech, speech_start)
    mix_into(signal, beep, beep_start)

    # The machine's relay clicks: one as it picks up, one as it starts recording after the tone.
    for at, frame in ((int(0.06 * rate), (0, int(0.5 * rate))),
                      (int(7.05 * rate), (n - int(0.5 * rate), n))):
        click = relay_click(rng, rate)
        lo, hi = frame
        have = sum(x * x for x in signal[lo:hi])
        want = (hi - lo) * 10 ** (-27.0 / 10)
        unit = sum(x * x for x in click)
        mix_into(signal, scaled(click, math.sqrt(max(want - have, 0.0) / unit)), at)

    return to_u8(signal)


def with_few_full_scale_peaks(xs, count):
    """The gain at which about `count` samples just reach full scale."""
    peaks = sorted((abs(x) for x in xs), reverse=True)
    return scaled(xs, 1.0 / peaks[count])


def relay_click(rng, rate):
    """A relay closing: a sharp metallic tick followed by a short low knock."""
    n = int(0.04 * rate)
    tick = [rng.gauss(0, 1) * math.exp(-i / (0.0015 * rate)) for i in range(n)]
    knock = [math.sin(2 * math.pi * 420 * i / rate) * math.exp(-i / (0.008 * rate))
             for i in range(n)]
    return chain([a + 0.8 * b for a, b in zip(tick, knock)], Biquad("highpass", 250, rate))


# --- 102: traffic ---------------------------------------------------------------------------


def make_102():
    rate, n, fade = 22050, 71669, int(0.12 * 22050)
    rng = random.Random(102)
    total = n + fade
    t0 = -fade / rate
    times = [t0 + i / rate for i in range(total)]

    # Distant traffic: deep rumble and the hiss of many tyres, steady.
    rumble = chain(one_pole(white(rng, total), 0.02), Biquad("highpass", 25, rate),
                   Biquad("lowpass", 180, rate))
    road = chain(white(rng, total), Biquad("bandpass", 700, rate, q=0.5),
                 Biquad("lowpass", 2500, rate))
    distant = [a + b for a, b in zip(to_rms(rumble, -13.0), to_rms(road, -20.0))]

    # A lorry approaching and passing close by at about 3.05 s: tyre roar and engine.
    passing = vehicle(rng, times, rate, pass_time=3.05, closest=4.0, speed=14.0, firing=38.0)
    # An earlier car passing further off.
    car = vehicle(rng, times, rate, pass_time=1.2, closest=14.0, speed=17.0, firing=62.0)

    mixed = [d + 0.95 * p + 0.45 * c for d, p, c in zip(distant, passing, car)]
    looped = seamless_loop(mixed, n, fade)
    return limited(looped, -26213, 26212)


def vehicle(rng, times, rate, pass_time, closest, speed, firing):
    total = len(times)
    tyres = chain(white(rng, total), Biquad("bandpass", 450, rate, q=0.45),
                  Biquad("lowpass", 3000, rate))
    tyres = to_rms(tyres, 0.0)
    engine = [0.0] * total
    phase = 0.0
    jitter = one_pole(white(rng, total), 0.001)
    for i, t in enumerate(times):
        # Doppler: the pitch falls as the vehicle passes.
        radial = speed * (t - pass_time) / math.hypot(closest, speed * (t - pass_time))
        f = firing * (1 + 0.08 * jitter[i]) * 343 / (343 + speed * radial)
        phase += 2 * math.pi * f / rate
        engine[i] = sum(math.sin(k * phase + k * k) / k for k in range(1, 7))
    engine = to_rms(chain(engine, Biquad("lowpass", 400, rate)), -3.0)
    out = []
    for i, t in enumerate(times):
        distance = math.hypot(closest, speed * (t - pass_time))
        out.append((tyres[i] + engine[i]) * closest / distance)
    return to_rms(out, -8.0)


def limited(xs, low, high):
    """Scales to the recording's level and hard-limits it, as the overloaded recorder did."""
    gain = 0.415 * 32768 / rms(xs[-int(0.5 * 22050):])
    return [max(low, min(high, int(round(x * gain)))) for x in xs]


# --- 103: dogs ------------------------------------------------------------------------------

BARKS = [  # start (s), dog, pitch factor, length (s), loudness
    (0.02, "near", 1.00, 0.17, 1.00),
    (0.27, "near", 1.05, 0.15, 0.90),
    (0.50, "far", 1.00, 0.13, 0.60),
    (0.70, "near", 0.97, 0.19, 1.00),
    (0.97, "far", 1.04, 0.13, 0.60),
    (1.15, "near", 1.02, 0.16, 0.90),
    (1.38, "far", 0.98, 0.12, 0.55),
]

DOGS = {  # base pitch (Hz), formants (Hz, bandwidth Hz, gain)
    "near": (330.0, [(660, 110, 1.0), (1250, 220, 0.25), (2400, 320, 0.08)]),
    "far": (345.0, [(690, 140, 1.0), (1350, 260, 0.18), (2500, 350, 0.05)]),
}


def make_103():
    rate, n = 8000, 12348
    rng = random.Random(103)
    # The stairwell behind the door: a faint hum of traffic far off.
    signal = to_rms(chain(one_pole(white(rng, n), 0.08), Biquad("lowpass", 900, rate)), -40.0)
    barks = [0.0] * n
    for start, dog, pitch, length, loudness in BARKS:
        base, formants = DOGS[dog]
        b = saturated(bark(rng, rate, base * pitch, formants, length), 2.5)
        if dog == "far":
            b = chain(b, Biquad("lowpass", 1100, rate))
        mix_into(barks, to_rms(b, -12.0 + db(loudness)), int(start * rate), wrap=True)
    wet = looped_reverb(barks, rate)
    signal = [a + b + 0.3 * w for a, b, w in zip(signal, barks, wet)]
    peak = max(abs(x) for x in signal)
    return to_u8(scaled(signal, 10 ** (-1.6 / 20) / peak))


def looped_reverb(xs, rate):
    """A small room's echo, settled as if the loop had already played a few times."""
    n = len(xs)
    combs = [(0.0297, 0.62), (0.0371, 0.60), (0.0411, 0.58), (0.0437, 0.56)]
    out = [0.0] * n
    for delay_s, feedback in combs:
        d = int(delay_s * rate)
        buf = [0.0] * d
        pos = 0
        for rep in range(3):
            for i in range(n):
                y = buf[pos]
                buf[pos] = xs[i] + feedback * y
                pos = (pos + 1) % d
                if rep == 2:
                    out[i] += y / len(combs)
    return chain(out, Biquad("lowpass", 1800, rate))


def bark(rng, rate, f0, formants, length):
    n = int(length * rate)
    tail = int(0.08 * rate)
    source = [0.0] * (n + tail)
    phase = 0.0
    for i in range(n):
        u = i / n
        # Pitch jumps up at the onset and falls away; the voice is rough (jittered, noisy).
        f = f0 * (0.92 + 0.25 * math.sin(math.pi * min(1.0, u * 1.6)) - 0.12 * u)
        f *= 1 + 0.03 * rng.gauss(0, 1)
        phase += 2 * math.pi * f / rate
        pulse = sum(math.sin(k * phase) / k ** 0.8 for k in range(1, int(3800 / f) + 1))
        # A hoarse throat: every other cycle weaker, and breath noise in time with the voice.
        pulse *= 1 + 0.45 * math.sin(phase / 2)
        noise = rng.gauss(0, 1) * (0.4 + 0.6 * max(0.0, math.sin(phase)))
        envelope = min(1.0, i / (0.004 * rate)) * math.exp(-3.2 * max(0.0, u - 0.2))
        source[i] = envelope * (pulse + 1.2 * noise)
    out = [0.0] * len(source)
    for freq, bw, gain in formants:
        q = freq / bw
        part = Biquad("bandpass", freq, rate, q=q).run(source)
        out = [o + gain * p for o, p in zip(out, part)]
    return out


# --- 104: the hook switch's double click ----------------------------------------------------


def make_104():
    rate, n = 22050, 10024
    rng = random.Random(104)
    # Faint noise that mostly rounds to exact silence.
    signal = [max(-2, min(2, rng.gauss(0, 0.72))) / 128 for _ in range(n)]
    # Pressing the hook switch down and letting it spring back.
    for at, ring, peak in ((0.012, 2900, 0.97), (0.281, 2600, 0.93)):
        mix_into(signal, switch_click(rng, rate, ring, peak), int(at * rate))
    return to_u8(signal)


def switch_click(rng, rate, ring_hz, peak_level):
    n = int(0.02 * rate)
    body = []
    for i in range(n):
        t = i / rate
        ring = math.sin(2 * math.pi * ring_hz * t) * math.exp(-t / 0.0009)
        knock = math.sin(2 * math.pi * 650 * t) * math.exp(-t / 0.0025)
        bounce = 0.0
        if t > 0.0016:
            tb = t - 0.0016
            bounce = 0.5 * math.sin(2 * math.pi * 3400 * tb) * math.exp(-tb / 0.0006)
        body.append(ring + 0.6 * knock + bounce + 0.3 * rng.gauss(0, 1) * math.exp(-t / 0.0004))
    peak = max(abs(x) for x in body)
    return [peak_level * x / peak for x in body]


# --- main -----------------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "sounds", "clips")
    os.makedirs(outdir, exist_ok=True)
    with tempfile.TemporaryDirectory() as workdir:
        images = {
            101: image_101(make_101(workdir)),
            102: image_102(make_102()),
            103: image_plain(8000, make_103()),
            104: image_plain(22050, make_104()),
        }
    for number, image in images.items():
        with open(os.path.join(outdir, "%d.wav" % number), "wb") as f:
            f.write(image)


if __name__ == "__main__":
    main()
