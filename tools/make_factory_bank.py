#!/usr/bin/env python3
"""Writes examples/factory.fxb, Tarvel's factory bank, and beside it
examples/factory-programs.tsv, the sheet that says what each program is.

The bank is a standard .fxb container of type 'FBCh' whose opaque chunk is
Tarvel's own "vqbk" bank: 32 "vqps" program blocks, each carrying all 56
parameters by full name with their stored values and recorded bends. The
bytes are written here directly, exactly as the plug-in's getChunk lays them
out, so the file is the same as the one `tarvel-host render --save x.fxb`
writes after loading it. Only the standard library is used and the output is
deterministic: the committed files can be checked against a fresh run.

The sheet has one line per program: slot, name, category, release time
(seconds after the last note ends by which the program has fallen below
-90 dBFS, echoes included), the loudness window in LU around the bank's
median (-2 to +2 unless the program is quiet or loud on purpose) and a
one-line description. The bank's tests read it; the README's program list
is `make_factory_bank.py --list`.

How the programs were levelled: `tarvel-host audition` plays each one the
same reference phrase (a legato melody and a six-note chord over two
octaves) and measures its integrated loudness (EBU R128) and true peak;
the amplifier gains below bring every program to the same loudness, about
-20 LUFS, with at least 1 dB of true-peak headroom. The gain scales the
output linearly (everything after the amplifier is linear but the
bit-crusher), so a program that measures x LU off is corrected by
10^(-x/20) on its gain.

Every patch lists only the settings that differ from the defaults; the
helpers below turn musical units into the normalised values each module
expects, and the comments say what the remaining raw numbers mean:

  envelopes    attack 0..1 in 4*v^2 s, decay: a full-scale fall in 4*v^2 s,
               release: a full-scale fall in 16*v^2 s (v <= 0.03 is the floor)
  coarse       floor(48*v) - 24 semitones, fine: (v - 0.5) semitones
  waves        index round(8*v): sin, tri, saw, squ, dig1 .. dig5
  position     0 plays the plain wave; above 0 the wave minus a copy shifted
               by (0.5 + 0.5*v) cycles: a saw becomes a square, then ever
               narrower pulses; odd-harmonic waves double in level
  mixer        balance 0 = half of Osc1, 1 = half of Osc2; ring 1 = pure product
  drive        (1 - v)*x + v*4*tanh(32*v*x): even 0.1 more than doubles quiet
               signals, so the amplifier gain comes down with it
  filter       cutoff v puts the corner near v * 11 kHz at 44.1 kHz; the
               pass band is at half gain; resonance r gives a damping of
               2*(1 - r^0.25) (Q about 1 at 0.1, 3 at 0.5, 9 at 0.8)
  amplifier    gain 0.5 is unity; the output is 2*v times filter times envelope
  mod depths   quadratic: amount = depth^2 (x2 for MCutoff and MPitch); the
               cutoff input adds half the amount to the cutoff value, the
               pitch input adds amount * 1000 Hz (a linear offset, so the
               same depth is a wider interval on low notes)
  LFO speed    free: 50*v^2 Hz (>= 0.1); synced: a division of the bar
  LFO waves    sin +-1, tri +-1.23, saw a falling ramp +-1.57, squ +-0.8
  phaser       break frequency (Center*0.2 + lfo*0.1*ModDepth) * 44.1 kHz,
               LFO 4*ModRate^2 Hz; Wet 0.5 gives the deepest notches
  chorus       rate 10*v Hz, depth up to +-3.7 ms around 20 ms, the wet
               signal is added on top of the dry one
  delay        free: v seconds (>= 0.01); synced: a division of the bar; the
               ring holds 1.49 s, so synced echoes stay at 3/8 and shorter

No voice reads the note velocity. The ModMLFOAmp route is left at 0 in
every program: its destination, the LFOs' amplitude input, is not read,
so no depth would change the sound.

A note that finds no idle voice takes the oldest one and restarts its
envelope from zero, which clicks when that voice is still releasing. The
demo's program (slot 0) therefore keeps the shortest amplitude release:
the demo strikes five notes at nearly every bar, 20 ms after releasing the
previous five. Elsewhere releases are as long as the sound wants, and
mostly within a second, the reference phrase's rest before its chord.

usage: tools/make_factory_bank.py [OUT.fxb [OUT.tsv]]
       tools/make_factory_bank.py --list      the README's program list
"""

import math
import os
import struct
import sys

# The host parameter list: full name and default, in index order.
PARAMETERS = [
    ("AmpEnvAttack", 0.0), ("AmpEnvDecay", 0.0), ("AmpEnvSustain", 1.0), ("AmpEnvRelease", 0.0),
    ("ModEnvAttack", 0.0), ("ModEnvDecay", 0.0), ("ModEnvSustain", 1.0), ("ModEnvRelease", 0.0),
    ("LFO1Reset", 0.0), ("LFO1Speed", 0.1), ("LFO1Sync", 0.0), ("LFO1Wave", 0.0),
    ("LFO2Reset", 0.0), ("LFO2Speed", 0.1), ("LFO2Sync", 0.0), ("LFO2Wave", 0.0),
    ("Osc1Coarse", 0.5), ("Osc1Fine", 0.5), ("Osc1Position", 0.0), ("Osc1Wave", 0.25),
    ("Osc2Coarse", 0.5), ("Osc2Fine", 0.5), ("Osc2Position", 0.0), ("Osc2Wave", 0.25),
    ("MixerBalance", 0.0), ("MixerRingMod", 0.0), ("SaturatorDrive", 0.0),
    ("FilterCutoff", 1.0), ("FilterMode", 0.0), ("FilterResonance", 0.1), ("AmplifierGain", 0.5),
    ("ModL1Cutoff", 0.0), ("ModL1Balance", 0.0), ("ModL2Pitch", 0.0), ("ModL2Position", 0.0),
    ("ModMCutoff", 0.0), ("ModMLFOAmp", 0.0), ("ModMBalance", 0.0), ("ModMPitch", 0.0),
    ("ModMPosition", 0.0), ("ModMRingMod", 0.0),
    ("DigiCrush", 0.0), ("DigiRate", 0.0),
    ("PhaserCenter", 0.15), ("PhaserFeedback", 0.5), ("PhaserModDepth", 0.25), ("PhaserModRate", 0.25),
    ("PhaserWet", 0.0),
    ("ChorusDepth", 0.2), ("ChorusFeedback", 0.0), ("ChorusRate", 0.25), ("ChorusWet", 0.0),
    ("DelayFeedback", 0.485), ("DelaySync", 0.0), ("DelayTime", 0.2), ("DelayWet", 0.0),
]
NAMES = {name for name, _ in PARAMETERS}

SIN, TRI, SAW, SQU, DIG1, DIG2, DIG3, DIG4, DIG5 = (i / 8 for i in range(9))
LP, HP, BP, BR = 0.0, 1 / 3, 2 / 3, 1.0
ON = 1.0
DIVISIONS = ["8/1", "4/1", "2/1", "3/2", "1/1", "3/8", "1/4", "3/16", "1/8", "1/16", "1/32"]

CATEGORIES = ["Keys and plucks", "Pads and swells", "Basses", "Leads", "Bells and metallic",
              "Rhythmic and tempo-synced", "Lo-fi and effect-led"]
KEYS, PADS, BASS, LEAD, BELL, RHYTHM, LOFI = CATEGORIES


def semis(n):
    """Coarse tuning of n semitones (-24 .. +24), the middle of its step."""
    return (n + 24.5) / 48


def cents(c):
    """Fine tuning of c cents (-50 .. +50)."""
    return 0.5 + c / 100


def attack(seconds):
    """Amplitude or modulation envelope attack from 0 to full."""
    return math.sqrt(seconds / 4)


def decay(seconds):
    """Decay slope: the time a fall from 1 to 0 would take."""
    return math.sqrt(seconds / 4)


def release(seconds):
    """Release slope: the time a fall from 1 to 0 takes."""
    return math.sqrt(seconds / 16)


def lfo_hz(hz):
    """Free-running LFO speed."""
    return math.sqrt(hz / 50)


def division(name):
    """A synced LFO speed or delay time, by its division of the bar."""
    return DIVISIONS.index(name) / 10


def cutoff(hz):
    """Filter corner at 44.1 kHz: the filter runs two passes per sample, so
    its coefficient sin(pi*v/4) is 2*sin(pi*f/88200)."""
    return 4 / math.pi * math.asin(2 * math.sin(math.pi * hz / 88200))


def env_sweep(hz):
    """ModMCutoff depth that lifts the corner about `hz` at the envelope's peak."""
    return math.sqrt(hz / 11025)


def lfo_sweep(hz):
    """ModL1Cutoff depth that moves the corner about +-`hz` per unit of LFO."""
    return math.sqrt(2 * hz / 11025)


def env_pitch(hz):
    """ModMPitch depth that raises the pitch by `hz` at the envelope's peak."""
    return math.sqrt(hz / 2000)


def lfo_pitch(hz):
    """ModL2Pitch depth: +-`hz` of vibrato per unit of LFO."""
    return math.sqrt(hz / 1000)


def depth(amount):
    """Depth of a balance, position or ring route that adds `amount` at full source."""
    return math.sqrt(amount)


def knob_motion(keys, interval=0.025):
    """A recorded knob motion through the (time s, value) key points, sampled
    as the editor would record a steady hand: one point every `interval`
    seconds, values rounded to the knob's 1/1000 steps."""
    points = []
    for (t0, v0), (t1, v1) in zip(keys, keys[1:]):
        steps = max(1, round((t1 - t0) / interval))
        for s in range(steps):
            a = s / steps
            points.append((round(t0 + a * (t1 - t0), 4), round(v0 + a * (v1 - v0), 3)))
    points.append(keys[-1])
    return points


def program(name, category, summary, release_s, settings, bends=None, loudness=(-2.0, 2.0)):
    """One program. `release_s`: seconds after the last note ends by which it
    has fallen below -90 dBFS, echoes and all. `loudness`: its window in LU
    around the bank's median; only a program quiet or loud on purpose
    widens it, and its comment says why."""
    return {"name": name, "category": category, "summary": summary, "release": release_s,
            "settings": settings, "bends": bends or {}, "loudness": loudness}


# Bends replay from their start whenever a note is struck while no other
# note is held, and run on while notes overlap, so a legato line or a held
# chord hears the whole motion.
PROGRAMS = [
    # ---------------------------------------------------------------- keys
    program("Soft Keys", KEYS, "mellow poly synth: detuned saws, a filter that blooms and settles, chorus and echo", 4, {
        # The demo's program: two saws 7 cents apart whose filter opens on
        # each note and settles, with chorus and an echo, so the chords, the
        # bass line and the lead all speak clearly. The echo runs free at
        # 0.45 s (a dotted eighth at the demo's 100 BPM): a synced echo
        # would jump, and click, at each of the song's tempo changes, since
        # the delay moves its read point without a crossfade.
        "AmpEnvAttack": 0.06, "AmpEnvDecay": 0.5, "AmpEnvSustain": 0.55, "AmpEnvRelease": 0.03,
        "ModEnvAttack": 0.03, "ModEnvDecay": 0.35, "ModEnvSustain": 0.2, "ModEnvRelease": 0.25,
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Fine": cents(7), "MixerBalance": 0.5,
        "FilterCutoff": 0.09, "FilterResonance": 0.3, "ModMCutoff": 0.5,
        "AmplifierGain": 0.202,
        "ChorusWet": 0.5, "ChorusDepth": 0.4, "ChorusRate": 0.06,
        "DelayTime": 0.45, "DelayFeedback": 0.3, "DelayWet": 0.18,
    }),
    program("Tine Piano", KEYS, "electric piano: sines an octave apart with a ring-modulated bark on the attack", 0.5, {
        # A sine with a sine an octave up; ring modulation of the two
        # (sidebands at the note and its third harmonic, so still harmonic)
        # comes in with the modulation envelope and fades in 0.36 s: the
        # bark of a struck tine. A long decay to a low sustain, a slow
        # phaser and a chorus for the amplifier's swirl.
        "AmpEnvDecay": decay(2.2), "AmpEnvSustain": 0.15, "AmpEnvRelease": release(0.25),
        "ModEnvDecay": decay(0.36), "ModEnvSustain": 0.0,
        "Osc1Wave": SIN, "Osc2Wave": SIN, "Osc2Coarse": semis(12), "MixerBalance": 0.3,
        "ModMRingMod": depth(0.36),
        "FilterCutoff": 0.3, "FilterResonance": 0.1,
        "AmplifierGain": 0.386,
        "PhaserWet": 0.3, "PhaserModRate": 0.3,
        "ChorusWet": 0.4, "ChorusDepth": 0.3, "ChorusRate": 0.05,
    }),
    program("Glass Pluck", KEYS, "short glassy pluck: a narrowing pulse over a sine, with an echo", 3.5, {
        # A pulse (a saw at Position 0.35) over a sine an octave up; the
        # modulation envelope snaps the filter shut and narrows the pulse
        # as it falls; a free 0.3 s echo carries the notes on.
        "AmpEnvDecay": 0.38, "AmpEnvSustain": 0.0, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.22, "ModEnvSustain": 0.0,
        "Osc1Wave": SAW, "Osc1Position": 0.35, "Osc2Wave": SIN, "Osc2Coarse": semis(12), "MixerBalance": 0.4,
        "ModMPosition": 0.5,
        "FilterCutoff": 0.06, "FilterResonance": 0.4, "ModMCutoff": 0.65,
        "AmplifierGain": 0.219,
        "DelayTime": 0.3, "DelayFeedback": 0.4, "DelayWet": 0.3,
    }),
    program("Wah Clav", KEYS, "funky clavinet through a band-pass wah that rocks up and down", 4.5, {
        # A bright digital wave and a saw through a resonant band-pass whose
        # centre the recorded bend sweeps up and back down twice in each
        # phrase, like a wah pedal; a synced quarter-note echo.
        "AmpEnvDecay": 0.45, "AmpEnvSustain": 0.35, "AmpEnvRelease": 0.03,
        "Osc1Wave": DIG3, "Osc2Wave": SAW, "Osc2Fine": cents(6), "MixerBalance": 0.4,
        "SaturatorDrive": 0.06,
        "FilterMode": BP, "FilterCutoff": 0.08, "FilterResonance": 0.6,
        "AmplifierGain": 0.296,
        "PhaserWet": 0.25,
        "DelaySync": ON, "DelayTime": division("1/4"), "DelayFeedback": 0.3, "DelayWet": 0.15,
    }, {
        # Two wah strokes: 550 Hz up to 2.4 kHz and back, twice.
        "FilterCutoff": knob_motion([(0.0, 0.05), (0.6, 0.22), (1.2, 0.05), (1.8, 0.22), (2.35, 0.05)]),
    }),
    program("Reed Organ", KEYS, "reedy organ: odd harmonics over a sub octave, key click and a fast rotary chorus", 0.5, {
        # dig5 carries strong odd harmonics far up, like a reed or a
        # clarinet stop; a sine an octave down fills the bottom. Organ
        # keys: full level at once and straight off. The modulation
        # envelope opens the filter for 30 ms: the key click. A fast,
        # shallow chorus stands in for a rotary speaker.
        "AmpEnvAttack": attack(0.008), "AmpEnvRelease": release(0.08),
        "ModEnvDecay": decay(0.03), "ModEnvSustain": 0.0,
        "Osc1Wave": DIG5, "Osc2Wave": SIN, "Osc2Coarse": semis(-12), "MixerBalance": 0.35,
        "SaturatorDrive": 0.04,
        "FilterCutoff": cutoff(2500), "FilterResonance": 0.1, "ModMCutoff": env_sweep(4000),
        "AmplifierGain": 0.067,
        "ChorusWet": 0.45, "ChorusDepth": 0.25, "ChorusRate": 0.6,
    }),
    # ---------------------------------------------------------------- pads
    program("Swell Pad", PADS, "slow strings that breathe, the filter swelling open over each phrase", 4, {
        # Slow strings: saw and a pulse a few cents apart, a half-second
        # attack, the cutoff breathing with a slow LFO, phaser, chorus and
        # echo for width and tail. Its recorded bend lifts the cutoff over
        # the first two seconds of a phrase and lets it sink.
        "AmpEnvAttack": 0.35, "AmpEnvDecay": 0.6, "AmpEnvSustain": 0.8, "AmpEnvRelease": release(0.8),
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Position": 0.3, "Osc2Fine": cents(-7), "MixerBalance": 0.5,
        "LFO1Speed": 0.08, "ModL1Cutoff": 0.3,
        "FilterCutoff": 0.1, "FilterResonance": 0.25,
        "AmplifierGain": 0.160,
        "PhaserWet": 0.4, "PhaserModRate": 0.2, "PhaserFeedback": 0.4,
        "ChorusWet": 0.6, "ChorusDepth": 0.6, "ChorusRate": 0.04,
        "DelayTime": 0.42, "DelayFeedback": 0.35, "DelayWet": 0.15,
    }, {
        # Up from the stored 0.1 to 0.3 (about 3.3 kHz) in 1.2 s and back.
        "FilterCutoff": knob_motion([(0.0, 0.1), (1.2, 0.3), (2.3, 0.1)]),
    }),
    program("Warm Strings", PADS, "string ensemble: saws an octave apart, gentle vibrato and a deep chorus", 1, {
        # Two saws an octave apart and 8 cents off, a 0.3 s bow, a soft
        # low-pass that a slow LFO opens a little, a 5 Hz vibrato of about
        # +-2.5 Hz, and a deep slow chorus: the ensemble.
        "AmpEnvAttack": attack(0.3), "AmpEnvDecay": decay(1.0), "AmpEnvSustain": 0.85,
        "AmpEnvRelease": release(0.7),
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Coarse": semis(12), "Osc2Fine": cents(8), "MixerBalance": 0.35,
        "LFO1Speed": lfo_hz(0.3), "LFO1Wave": TRI, "ModL1Cutoff": lfo_sweep(300),
        "LFO2Speed": lfo_hz(5.0), "ModL2Pitch": lfo_pitch(2.5),
        "FilterCutoff": cutoff(2200), "FilterResonance": 0.15,
        "AmplifierGain": 0.121,
        "ChorusWet": 0.7, "ChorusDepth": 0.7, "ChorusRate": 0.03,
    }),
    program("Vowel Pad", PADS, "choir-like pad that drifts between two vowels", 1.5, {
        # dig2 and dig4 are two fixed spectra with peaks in different
        # places; a slow LFO sways the mixer between them and a resonant
        # band-pass around 1.1 kHz stands in for the mouth, so the chord
        # drifts between two vowels. Slow attack and release, chorus.
        "AmpEnvAttack": attack(0.5), "AmpEnvRelease": release(0.8),
        "Osc1Wave": DIG2, "Osc2Wave": DIG4, "Osc2Fine": cents(5), "MixerBalance": 0.5,
        "LFO1Speed": lfo_hz(0.25), "ModL1Balance": depth(0.45),
        "FilterMode": BP, "FilterCutoff": cutoff(1100), "FilterResonance": 0.35,
        "AmplifierGain": 0.099,
        "ChorusWet": 0.6, "ChorusDepth": 0.5, "ChorusRate": 0.05,
    }),
    program("PWM Pad", PADS, "warm pulse-width-modulated pad", 4, {
        # Two saws turned into pulses (Position 0.25) whose width a slow
        # triangle LFO sweeps through the position inputs: the moving,
        # chorused sound of pulse-width modulation. Soft low-pass, a
        # little chorus and a quiet half-second echo.
        "AmpEnvAttack": attack(0.25), "AmpEnvDecay": decay(1.0), "AmpEnvSustain": 0.9,
        "AmpEnvRelease": release(0.8),
        "Osc1Wave": SAW, "Osc1Position": 0.25, "Osc2Wave": SAW, "Osc2Position": 0.25, "Osc2Fine": cents(-8),
        "MixerBalance": 0.5,
        "LFO2Speed": lfo_hz(0.4), "LFO2Wave": TRI, "ModL2Position": depth(0.3),
        "FilterCutoff": cutoff(3000), "FilterResonance": 0.2,
        "AmplifierGain": 0.094,
        "ChorusWet": 0.3, "ChorusDepth": 0.3, "ChorusRate": 0.04,
        "DelayTime": 0.5, "DelayFeedback": 0.3, "DelayWet": 0.12,
    }),
    program("Hollow Pad", PADS, "airy pad with a wide notch slowly sweeping through it", 5, {
        # A saw and a triangle a fifth up through the band-reject mode: a
        # wide notch (low resonance) that a slow sine LFO moves between
        # about 0.7 and 3.7 kHz, hollowing the sound from different sides.
        "AmpEnvAttack": attack(0.6), "AmpEnvRelease": release(0.9),
        "Osc1Wave": SAW, "Osc2Wave": TRI, "Osc2Coarse": semis(7), "MixerBalance": 0.4,
        "LFO1Speed": lfo_hz(0.15), "ModL1Cutoff": lfo_sweep(1500),
        "FilterMode": BR, "FilterCutoff": cutoff(2200), "FilterResonance": 0.12,
        "AmplifierGain": 0.161,
        "ChorusWet": 0.5, "ChorusDepth": 0.5, "ChorusRate": 0.03,
        "DelayTime": 0.6, "DelayFeedback": 0.3, "DelayWet": 0.15,
    }),
    # --------------------------------------------------------------- basses
    program("Round Bass", BASS, "round analogue bass: saw and sub square, a plucked resonant filter", 0.5, {
        # A saw with a square an octave down, a low resonant filter plucked
        # open by the modulation envelope and a touch of drive; dry.
        "AmpEnvDecay": 0.4, "AmpEnvSustain": 0.7, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.25, "ModEnvSustain": 0.0, "ModEnvRelease": 0.1,
        "Osc1Wave": SAW, "Osc2Wave": SQU, "Osc2Coarse": semis(-12), "MixerBalance": 0.45,
        "SaturatorDrive": 0.08,
        "FilterCutoff": 0.035, "FilterResonance": 0.45, "ModMCutoff": 0.45,
        "AmplifierGain": 0.098,
    }),
    program("Sub Bass", BASS, "deep sine sub an octave down, driven just enough to be heard on small speakers", 0.5, {
        # A sine and a triangle an octave down; the saturator adds the
        # harmonics that let a sub be heard on small speakers without
        # thinning its bottom, and a low corner keeps it smooth. Dry.
        "AmpEnvAttack": attack(0.005), "AmpEnvDecay": decay(1.0), "AmpEnvSustain": 0.8,
        "AmpEnvRelease": release(0.1),
        "Osc1Wave": SIN, "Osc1Coarse": semis(-12), "Osc2Wave": TRI, "Osc2Coarse": semis(-12), "MixerBalance": 0.3,
        "SaturatorDrive": 0.12,
        "FilterCutoff": cutoff(1200), "FilterResonance": 0.1,
        "AmplifierGain": 0.090,
    }),
    program("Acid Bass", BASS, "squelchy resonant saw bass, its cutoff turned up and back down over each phrase", 3, {
        # One saw an octave down into a very resonant low-pass (Q near 10)
        # that the modulation envelope snaps open on every note, driven
        # for grit. The recorded bend is the hand on the cutoff knob:
        # slowly up over three seconds, then back down.
        "AmpEnvDecay": decay(1.0), "AmpEnvSustain": 0.7, "AmpEnvRelease": release(0.06),
        "ModEnvDecay": decay(0.25), "ModEnvSustain": 0.0,
        "Osc1Wave": SAW, "Osc1Coarse": semis(-12),
        "SaturatorDrive": 0.2,
        "FilterCutoff": 0.04, "FilterResonance": 0.82, "ModMCutoff": env_sweep(2000),
        "AmplifierGain": 0.049,
        "DelaySync": ON, "DelayTime": division("3/16"), "DelayFeedback": 0.3, "DelayWet": 0.12,
    }, {
        # 440 Hz up to 1.7 kHz over 3 s, then back in 1.5 s.
        "FilterCutoff": knob_motion([(0.0, 0.04), (3.0, 0.155), (4.5, 0.04)]),
    }),
    program("Reese Bass", BASS, "wide, beating bass of two detuned saws with a slow phaser", 0.5, {
        # Two saws an octave down, 20 cents apart: their slow beating is
        # the sound. A low-pass near 900 Hz, some drive and a slow phaser
        # that keeps the beating moving.
        "AmpEnvAttack": attack(0.01), "AmpEnvRelease": release(0.12),
        "Osc1Wave": SAW, "Osc1Coarse": semis(-12), "Osc2Wave": SAW, "Osc2Coarse": semis(-12),
        "Osc2Fine": cents(20), "MixerBalance": 0.5,
        "SaturatorDrive": 0.1,
        "FilterCutoff": cutoff(900), "FilterResonance": 0.3,
        "AmplifierGain": 0.100,
        "PhaserWet": 0.35, "PhaserModRate": 0.15, "PhaserFeedback": 0.4,
    }),
    # ---------------------------------------------------------------- leads
    program("Saw Lead", LEAD, "classic saw lead: octave-stacked saws, vibrato, drive and an eighth-note echo", 2.5, {
        # Two saws an octave apart with a slight detune, gentle vibrato from
        # LFO2 (a linear pitch offset, so it is subtle on high notes and
        # wider on low ones), some drive and an eighth-note echo.
        "AmpEnvAttack": 0.05, "AmpEnvSustain": 0.85, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.4, "ModEnvSustain": 0.4,
        "LFO2Speed": 0.3, "ModL2Pitch": 0.035,
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Coarse": semis(12), "Osc2Fine": cents(3), "MixerBalance": 0.35,
        "SaturatorDrive": 0.05,
        "FilterCutoff": 0.2, "FilterResonance": 0.35, "ModMCutoff": 0.45,
        "AmplifierGain": 0.128,
        "DelaySync": ON, "DelayTime": division("1/8"), "DelayFeedback": 0.35, "DelayWet": 0.22,
    }),
    program("Sweep Lead", LEAD, "power lead a fifth wide whose pulse narrows and widens on every note", 3, {
        # A saw and a saw a fifth up. Osc Position just above 0 makes them
        # squares; the modulation envelope pushes the position up to a
        # thin, nasal pulse and lets it fall back over 0.7 s, so each note
        # opens with a vocal, sync-like sweep. Drive and a free echo.
        "AmpEnvAttack": attack(0.01), "AmpEnvSustain": 0.9, "AmpEnvRelease": release(0.15),
        "ModEnvDecay": decay(0.8), "ModEnvSustain": 0.1,
        "Osc1Wave": SAW, "Osc1Position": 0.05, "Osc2Wave": SAW, "Osc2Position": 0.05, "Osc2Coarse": semis(7),
        "MixerBalance": 0.3,
        "ModMPosition": depth(0.8),
        "SaturatorDrive": 0.1,
        "FilterCutoff": cutoff(5000), "FilterResonance": 0.2,
        "AmplifierGain": 0.068,
        "DelayTime": 0.33, "DelayFeedback": 0.3, "DelayWet": 0.18,
    }),
    program("Bloom Whistle", LEAD, "pure whistling lead whose vibrato blooms as the note is held", 3, {
        # A sine with a triangle an octave up, soft and pure. LFO2 runs a
        # 5.5 Hz vibrato whose depth the recorded bend raises from nothing
        # to about +-4 Hz over the first second and a half of a phrase: a
        # singer's vibrato that blooms on a held note. A synced dotted
        # eighth echo and a little chorus.
        "AmpEnvAttack": attack(0.06), "AmpEnvRelease": release(0.25),
        "Osc1Wave": SIN, "Osc2Wave": TRI, "Osc2Coarse": semis(12), "MixerBalance": 0.25,
        "LFO2Speed": lfo_hz(5.5), "ModL2Pitch": lfo_pitch(1.0),
        "FilterCutoff": cutoff(5000),
        "AmplifierGain": 0.185,
        "ChorusWet": 0.25, "ChorusDepth": 0.2, "ChorusRate": 0.05,
        "DelaySync": ON, "DelayTime": division("3/16"), "DelayFeedback": 0.3, "DelayWet": 0.2,
    }, {
        "ModL2Pitch": knob_motion([(0.0, 0.0), (1.5, round(lfo_pitch(4.0), 3)), (3.5, round(lfo_pitch(4.0), 3)),
                                   (4.0, round(lfo_pitch(1.0), 3))]),
    }),
    program("Fuzz Lead", LEAD, "fuzzed square-and-saw lead with a phaser", 2, {
        # A square and a saw 5 cents apart driven hard into the saturator
        # (fuzz), then a resonant low-pass that the envelope opens a little
        # on each note, a phaser for movement and a short synced echo.
        "AmpEnvAttack": attack(0.01), "AmpEnvRelease": release(0.12),
        "ModEnvDecay": decay(0.3), "ModEnvSustain": 0.3,
        "Osc1Wave": SQU, "Osc2Wave": SAW, "Osc2Fine": cents(5), "MixerBalance": 0.5,
        "SaturatorDrive": 0.35,
        "FilterCutoff": cutoff(3000), "FilterResonance": 0.35, "ModMCutoff": env_sweep(1500),
        "AmplifierGain": 0.046,
        "PhaserWet": 0.3, "PhaserModRate": 0.3, "PhaserFeedback": 0.5,
        "DelaySync": ON, "DelayTime": division("1/8"), "DelayFeedback": 0.2, "DelayWet": 0.15,
    }),
    # ---------------------------------------------------------------- bells
    program("Ring Bell", BELL, "bell: a ring-modulated sine and triangle, struck and left to ring", 5, {
        # A sine ring-modulated by a triangle an octave and a fifth up; the
        # sidebands fall near the 2nd and 4th harmonics but beat against
        # them (the fifth is equal-tempered), and the triangle's overtones
        # add inharmonic partials. Struck and left to decay; a key let go
        # early rings on for about a second rather than stopping dead, and
        # a free echo carries it further.
        "AmpEnvDecay": 0.6, "AmpEnvSustain": 0.0, "AmpEnvRelease": release(1.0),
        "Osc1Wave": SIN, "Osc2Wave": TRI, "Osc2Coarse": semis(19), "MixerRingMod": 0.75,
        "FilterCutoff": 0.45,
        "AmplifierGain": 0.213,
        "ChorusWet": 0.3, "ChorusDepth": 0.5, "ChorusRate": 0.08,
        "DelayTime": 0.36, "DelayFeedback": 0.45, "DelayWet": 0.25,
    }),
    program("Tubular Chime", BELL, "tubular chime: a metallic strike that settles into a pure tone", 3.5, {
        # dig4's partials sit on the 3rd, 6th and 18th harmonics, a hard
        # metallic colour; the modulation envelope swings the mixer to it
        # for the strike and back to the plain sine as it decays. The
        # high-pass thins the lowest notes like a hanging tube; a long
        # decay and a quiet echo.
        "AmpEnvDecay": decay(3.0), "AmpEnvSustain": 0.0, "AmpEnvRelease": release(0.8),
        "ModEnvDecay": decay(0.4), "ModEnvSustain": 0.0,
        "Osc1Wave": SIN, "Osc2Wave": DIG4, "MixerBalance": 0.15,
        "ModMBalance": depth(0.7),
        "FilterMode": HP, "FilterCutoff": cutoff(300), "FilterResonance": 0.1,
        "AmplifierGain": 0.191,
        "ChorusWet": 0.2, "ChorusDepth": 0.3, "ChorusRate": 0.04,
        "DelayTime": 0.4, "DelayFeedback": 0.3, "DelayWet": 0.15,
    }),
    program("Metal Gong", BELL, "clangorous gong: a triangle and a sine ring-modulated at an inharmonic ratio, with a metallic comb", 2, {
        # A triangle and a sine 6.3 semitones up (a ratio of 1.44, no
        # harmonic relation) almost purely ring-modulated: every partial of
        # the triangle splits into two inharmonic ones. A long decay that
        # the release cuts short, and the chorus with feedback adds a
        # metallic comb that slowly moves.
        "AmpEnvDecay": decay(5.0), "AmpEnvSustain": 0.0, "AmpEnvRelease": release(1.5),
        "Osc1Wave": TRI, "Osc2Wave": SIN, "Osc2Coarse": semis(6), "Osc2Fine": cents(30), "MixerRingMod": 0.85,
        "SaturatorDrive": 0.05,
        "FilterCutoff": cutoff(4000),
        "AmplifierGain": 0.105,
        "ChorusWet": 0.35, "ChorusDepth": 0.3, "ChorusRate": 0.02, "ChorusFeedback": 0.5,
    }),
    program("Kalimba", BELL, "thumb piano: a sine with a bright partial and a pitch thump on the strike", 2.5, {
        # A sine with dig1 (whose strongest partial is the 6th harmonic)
        # at the same pitch, the bright ping of a metal tine; the
        # modulation envelope throws the pitch up by 60 Hz for 20 ms, the
        # thump of the thumb. Short decay, a plucked low-pass, a quiet echo.
        "AmpEnvDecay": decay(0.8), "AmpEnvSustain": 0.0, "AmpEnvRelease": release(0.3),
        "ModEnvDecay": decay(0.02), "ModEnvSustain": 0.0,
        "Osc1Wave": SIN, "Osc2Wave": DIG1, "MixerBalance": 0.3,
        "ModMPitch": env_pitch(60), "ModMCutoff": env_sweep(3000),
        "FilterCutoff": cutoff(2500), "FilterResonance": 0.2,
        "AmplifierGain": 0.321,
        "DelayTime": 0.3, "DelayFeedback": 0.25, "DelayWet": 0.15,
    }),
    program("Ring Swell", BELL, "sustained tone that turns metallic and back as ring modulation swells in", 1, {
        # A saw and a sine a fifth up; the recorded bend brings the ring
        # modulator in over two and a half seconds and takes it back out,
        # so a held chord turns from warm to clanging metal and back.
        "AmpEnvAttack": attack(0.15), "AmpEnvSustain": 0.8, "AmpEnvDecay": decay(1.0),
        "AmpEnvRelease": release(0.5),
        "Osc1Wave": SAW, "Osc2Wave": SIN, "Osc2Coarse": semis(7), "MixerBalance": 0.3,
        "FilterCutoff": cutoff(3300), "FilterResonance": 0.15,
        "AmplifierGain": 0.121,
        "ChorusWet": 0.4, "ChorusDepth": 0.4, "ChorusRate": 0.04,
    }, {
        "MixerRingMod": knob_motion([(0.0, 0.0), (2.5, 0.8), (4.0, 0.0)]),
    }),
    # -------------------------------------------------------------- rhythm
    program("Gate Arp", RHYTHM, "sixteenth-note gated octaves locked to the song's tempo", 5, {
        # LFO1 runs a square locked to the song at sixteenths and flips the
        # mixer between the note (Osc1) and its octave (Osc2), and pumps
        # the cutoff with it; a dotted-eighth echo (0.45 s, free) fills
        # the gaps.
        "AmpEnvDecay": 0.5, "AmpEnvSustain": 0.6, "AmpEnvRelease": 0.03,
        "LFO1Sync": ON, "LFO1Speed": division("1/16"), "LFO1Wave": SQU,
        "ModL1Balance": 1.0, "ModL1Cutoff": 0.35,
        "Osc1Wave": SAW, "Osc2Wave": SQU, "Osc2Coarse": semis(12), "MixerBalance": 0.5,
        "FilterCutoff": 0.15, "FilterResonance": 0.5,
        "AmplifierGain": 0.138,
        "DelayTime": 0.45, "DelayFeedback": 0.4, "DelayWet": 0.25,
    }),
    program("Wobble Bass", RHYTHM, "wobble bass: a resonant filter swung by an eighth-note LFO that restarts on each note", 0.5, {
        # A saw an octave down and a square two octaves down into a
        # resonant low-pass that a triangle LFO, synced to eighth notes,
        # swings by about +-2 kHz. The LFO restarts on every note so each
        # one starts on the same part of the wobble; drive for growl.
        "AmpEnvAttack": attack(0.005), "AmpEnvRelease": release(0.1),
        "LFO1Sync": ON, "LFO1Speed": division("1/8"), "LFO1Wave": TRI, "LFO1Reset": ON,
        "ModL1Cutoff": lfo_sweep(1700),
        "Osc1Wave": SAW, "Osc1Coarse": semis(-12), "Osc2Wave": SQU, "Osc2Coarse": semis(-24), "MixerBalance": 0.35,
        "SaturatorDrive": 0.2,
        "FilterCutoff": cutoff(1800), "FilterResonance": 0.6,
        "AmplifierGain": 0.043,
    }),
    program("Step Sweep", RHYTHM, "held chords chopped into sixteenth-note filter plucks", 4, {
        # LFO1's saw is a falling ramp: synced to sixteenths it snaps the
        # filter open (to about 3.9 kHz) and lets it fall (to about 120 Hz)
        # four times a beat, so a held chord plays as a sequence of plucks. Octave-stacked saws, a resonant
        # low-pass, and a dotted-eighth synced echo against the grid.
        "AmpEnvAttack": attack(0.005), "AmpEnvRelease": release(0.1),
        "LFO1Sync": ON, "LFO1Speed": division("1/16"), "LFO1Wave": SAW,
        "ModL1Cutoff": lfo_sweep(1200),
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Coarse": semis(12), "Osc2Fine": cents(4), "MixerBalance": 0.4,
        "FilterCutoff": cutoff(2000), "FilterResonance": 0.6,
        "AmplifierGain": 0.106,
        "DelaySync": ON, "DelayTime": division("3/16"), "DelayFeedback": 0.35, "DelayWet": 0.25,
    }),
    program("Echo Pulse", RHYTHM, "short pulse stabs thrown into a dotted-eighth echo, the pulse width drifting with the bar", 5.5, {
        # A short plucked pulse over a sine an octave down, echoed at a
        # synced dotted eighth. LFO2 runs a triangle locked to whole bars
        # through the position inputs, so the pulse width, and with it the
        # colour of the echoes, drifts over every bar.
        "AmpEnvDecay": decay(0.6), "AmpEnvSustain": 0.0, "AmpEnvRelease": release(0.1),
        "ModEnvDecay": decay(0.2), "ModEnvSustain": 0.0,
        "LFO2Sync": ON, "LFO2Speed": division("1/1"), "LFO2Wave": TRI, "ModL2Position": depth(0.2),
        "Osc1Wave": SQU, "Osc1Position": 0.35, "Osc2Wave": SIN, "Osc2Coarse": semis(-12), "MixerBalance": 0.3,
        "FilterCutoff": cutoff(1500), "FilterResonance": 0.3, "ModMCutoff": env_sweep(3000),
        "AmplifierGain": 0.287,
        "DelaySync": ON, "DelayTime": division("3/16"), "DelayFeedback": 0.5, "DelayWet": 0.35,
    }),
    # ---------------------------------------------------------------- lo-fi
    program("Chip Crush", LOFI, "chip-tune lead: narrow pulses at nine bits and a fifth of the sample rate, a pitch blip", 2, {
        # A narrow pulse and a square an octave up, the digital stage at
        # nine bits and a fifth of the sample rate, a quick pitch blip from
        # the modulation envelope at each note's start.
        "AmpEnvDecay": 0.3, "AmpEnvSustain": 0.6, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.08, "ModEnvSustain": 0.0, "ModMPitch": 0.12,
        "Osc1Wave": SAW, "Osc1Position": 0.55, "Osc2Wave": SQU, "Osc2Coarse": semis(12), "MixerBalance": 0.3,
        "FilterCutoff": 0.6,
        "AmplifierGain": 0.168,
        "DigiCrush": 0.8, "DigiRate": 0.05,
        "DelaySync": ON, "DelayTime": division("1/8"), "DelayFeedback": 0.25, "DelayWet": 0.2,
    }),
    program("Cassette Keys", LOFI, "worn keys off an old tape: aliasing, ten bits and wow", 1, {
        # A soft keys tone (a triangle and dig1 an octave up) played back
        # from a worn tape: the sample rate held down to 14.7 kHz so the
        # top aliases, ten bits, a slow wide chorus for wow and a slow
        # pitch drift from LFO2 for flutter.
        "AmpEnvDecay": decay(2.0), "AmpEnvSustain": 0.35, "AmpEnvRelease": release(0.3),
        "Osc1Wave": TRI, "Osc2Wave": DIG1, "Osc2Coarse": semis(12), "MixerBalance": 0.15,
        "LFO2Speed": lfo_hz(0.7), "ModL2Pitch": lfo_pitch(0.8),
        "FilterCutoff": cutoff(2500), "FilterResonance": 0.15,
        "AmplifierGain": 0.203,
        "DigiCrush": 0.78, "DigiRate": 0.02,
        "ChorusWet": 0.45, "ChorusDepth": 0.8, "ChorusRate": 0.05,
    }),
    program("Phase Strings", LOFI, "string machine through a deep, slow phaser", 1, {
        # Saws an octave apart, a soft string-machine envelope, through
        # the phaser at its deepest (equal dry and wet), with strong
        # feedback and a wide, slow sweep: the phaser is the sound.
        "AmpEnvAttack": attack(0.15), "AmpEnvSustain": 0.9, "AmpEnvDecay": decay(1.0),
        "AmpEnvRelease": release(0.5),
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Coarse": semis(-12), "Osc2Fine": cents(-6), "MixerBalance": 0.4,
        "FilterCutoff": cutoff(4000), "FilterResonance": 0.1,
        "AmplifierGain": 0.195,
        "PhaserWet": 0.5, "PhaserFeedback": 0.6, "PhaserModDepth": 0.2, "PhaserCenter": 0.15,
        "PhaserModRate": 0.2,
    }),
    program("Jet Flange", LOFI, "bright pad through a high-pass and a slow, resonant jet flanger", 1.5, {
        # dig1 and a saw through a high-pass, bright and thin; the chorus
        # with strong feedback and full depth becomes a flanger whose comb
        # climbs and falls over ten seconds: the jet.
        "AmpEnvAttack": attack(0.1), "AmpEnvRelease": release(0.4),
        "Osc1Wave": DIG1, "Osc2Wave": SAW, "Osc2Fine": cents(4), "MixerBalance": 0.5,
        "FilterMode": HP, "FilterCutoff": cutoff(500), "FilterResonance": 0.3,
        "AmplifierGain": 0.078,
        "ChorusWet": 0.7, "ChorusDepth": 1.0, "ChorusRate": 0.01, "ChorusFeedback": 0.75,
    }),
    program("Dub Echo", LOFI, "dub chord stab whose echoes feed back higher while the chord is held", 5.5, {
        # A dark stab (a square and a sine an octave up, half a second of
        # decay) into a synced dotted-eighth echo as loud as the dry sound.
        # The recorded bend is the dub engineer's hand on the feedback: up
        # to 0.85 within a second, so the echoes hang on while the chord
        # is held, then back down to let them fade.
        "AmpEnvDecay": decay(0.5), "AmpEnvSustain": 0.0, "AmpEnvRelease": release(0.1),
        "Osc1Wave": SQU, "Osc2Wave": SIN, "Osc2Coarse": semis(12), "MixerBalance": 0.3,
        "FilterCutoff": cutoff(1300), "FilterResonance": 0.4,
        "AmplifierGain": 0.439,
        "ChorusWet": 0.2, "ChorusDepth": 0.3, "ChorusRate": 0.03,
        "DelaySync": ON, "DelayTime": division("3/16"), "DelayFeedback": 0.45, "DelayWet": 0.5,
    }, {
        "DelayFeedback": knob_motion([(0.0, 0.45), (1.0, 0.85), (3.0, 0.85), (3.5, 0.45)]),
    }),
]


def be32(value):
    return struct.pack(">I", value)


def f32(value):
    return struct.pack("<f", value)


def program_block(name, settings, bends):
    unknown = (set(settings) | set(bends)) - NAMES
    if unknown:
        raise SystemExit(f"{name}: unknown parameters {sorted(unknown)}")
    encoded = name.encode("ascii")
    if len(encoded) > 24:
        raise SystemExit(f"{name}: program names are shown with at most 24 characters")
    out = bytearray(b"vqps" + be32(1) + be32(len(PARAMETERS)) + encoded.ljust(32, b"\0"))
    for pname, default in PARAMETERS:
        points = bends.get(pname, [])
        out += be32(len(pname)) + be32(len(points)) + f32(settings.get(pname, default)) + pname.encode("ascii")
        for time, value in points:
            out += f32(value) + f32(time)  # value first, then time
    return bytes(out)


def bank_chunk(programs, slots=32):
    if len(programs) != slots:
        raise SystemExit(f"the bank needs {slots} programs, not {len(programs)}")
    names = [p["name"] for p in programs]
    if len(set(names)) != len(names):
        raise SystemExit("two programs share a name")
    return b"vqbk" + be32(1) + be32(slots) + b"".join(
        program_block(p["name"], p["settings"], p["bends"]) for p in programs)


def fxb(chunk, programs=32, current=0):
    unique_id = b"zkvq"
    plugin_version = 1
    body = (b"FBCh" + be32(2) + unique_id + be32(plugin_version) + be32(programs)
            + be32(current).ljust(128, b"\0") + be32(len(chunk)) + chunk)
    return b"CcnK" + be32(len(body)) + body


def sheet(programs):
    lines = ["# slot\tname\tcategory\trelease_s\tlu_low\tlu_high\tsummary"]
    for slot, p in enumerate(programs):
        low, high = p["loudness"]
        lines.append(f"{slot}\t{p['name']}\t{p['category']}\t{p['release']:g}\t{low:g}\t{high:g}\t{p['summary']}")
    return "\n".join(lines) + "\n"


def readme_list(programs):
    out = []
    for category in CATEGORIES:
        out.append(f"### {category}\n")
        for slot, p in enumerate(programs):
            if p["category"] == category:
                bend = " (recorded bend)" if p["bends"] else ""
                out.append(f"- {slot} **{p['name']}**: {p['summary']}{bend}")
        out.append("")
    return "\n".join(out)


def main():
    if sys.argv[1:] == ["--list"]:
        sys.stdout.write(readme_list(PROGRAMS))
        return
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples", "factory.fxb")
    out_sheet = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "examples", "factory-programs.tsv")
    with open(out, "wb") as f:
        f.write(fxb(bank_chunk(PROGRAMS)))
    with open(out_sheet, "w", encoding="ascii", newline="\n") as f:
        f.write(sheet(PROGRAMS))


if __name__ == "__main__":
    main()
