#!/usr/bin/env python3
"""Writes examples/factory.fxb: Tarvel's factory bank.

The bank is a standard .fxb container of type 'FBCh' whose opaque chunk is
Tarvel's own "vqbk" bank: 32 "vqps" program blocks, each carrying all 56
parameters by full name with their stored values and recorded bends. The
bytes are written here directly, exactly as the plug-in's getChunk lays them
out, so the file is the same as the one `tarvel-host render --save x.fxb`
writes after loading it. Only the standard library is used and the output is
deterministic: the committed bank can be checked against a fresh run.

Every patch below lists only the settings that differ from the defaults;
the comments say what the numbers mean in the instrument's own units, which
follow from how each module maps its normalised value:

  envelopes    attack 0..1 in 4*v^2 s, decay: a full-scale fall in 4*v^2 s,
               release: a full-scale fall in 16*v^2 s (v <= 0.03 is the floor)
  coarse       floor(48*v) - 24 semitones (use mid-bin values: 0.76 = +12,
               0.26 = -12, 0.656 = +7, 0.51 = 0), fine: (v - 0.5) semitones
  waves        index round(8*v): sin 0, tri .125, saw .25, squ .375, dig1 .5,
               dig2 .625, dig3 .75, dig4 .875, dig5 1
  position     0 plays the plain wave; above 0 the wave minus a copy shifted
               by (0.5 + 0.5*v) cycles: a saw becomes a square, then pulses
  mixer        balance 0 = half of Osc1, 1 = half of Osc2; ring 1 = pure product
  drive        (1 - v)*x + v*4*tanh(32*v*x): even 0.1 more than doubles quiet
               signals, so the amplifier gain comes down with it
  filter       cutoff v puts the corner near v * 11 kHz at 44.1 kHz (linear);
               the pass band is at half gain; modes LP 0, HP 1/3, BP 2/3, BR 1
  amplifier    gain 0.5 is unity; the output is 2*v times filter times envelope
  mod depths   quadratic: amount = depth^2 (x2 for MCutoff and MPitch); the
               cutoff input adds half the amount to the cutoff value, the
               pitch input adds amount * 1000 Hz (a linear offset)
  LFO speed    free: 50*v^2 Hz (>= 0.1); synced: division round(10*v) of
               8/1 4/1 2/1 3/2 1/1 3/8 1/4 3/16 1/8 1/16 1/32
  delay time   free: v seconds (>= 0.01); synced: the same division table
  chorus       rate 10*v Hz, depth up to +-3.7 ms around 20 ms, the wet
               signal is added on top of the dry one

No voice reads the note velocity, so the demo's chord, bass and lead parts
sit at the levels the patch gives them.

Every patch keeps the amplitude release at its shortest (16 ms for a full
fall). A note that finds no idle voice takes the oldest one and restarts its
envelope from zero, which clicks when that voice is still releasing; the
demo strikes five notes at once at nearly every bar with six voices, just
20 ms after releasing the previous five. The echo, chorus and phaser give
the patches their tails instead. Levels were set so that the demo
song (at most five notes at once) peaks below 0 dBFS on every program.

usage: tools/make_factory_bank.py [OUT.fxb]
"""

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

# Musical constants for readability.
SIN, TRI, SAW, SQU, DIG1, DIG2, DIG3, DIG4, DIG5 = (i / 8 for i in range(9))
LP, HP, BP, BR = 0.0, 1 / 3, 2 / 3, 1.0
DIV_3_8, DIV_1_4, DIV_3_16, DIV_1_8, DIV_1_16 = 0.5, 0.6, 0.7, 0.8, 0.9
ON = 1.0


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


# Each patch: (name, {parameter: value}, {parameter: [(time s, value), ...]}).
# Bends replay from their start whenever a note is struck while no other
# note is held; the demo song lets go of everything just before most bars,
# so a bend there shapes each bar.
PATCHES = [
    ("Soft Keys", {
        # The demo's program: a mellow poly synth of two detuned saws whose
        # filter opens on each note and settles, with chorus and an echo,
        # so the chords, the bass line and the lead all speak clearly. The
        # echo runs free at 0.45 s (a dotted eighth at the demo's 100 BPM):
        # a synced echo would jump, and click, at each of the song's tempo
        # changes, since the delay moves its read point without a crossfade.
        "AmpEnvAttack": 0.06, "AmpEnvDecay": 0.5, "AmpEnvSustain": 0.55, "AmpEnvRelease": 0.03,
        "ModEnvAttack": 0.03, "ModEnvDecay": 0.35, "ModEnvSustain": 0.2, "ModEnvRelease": 0.25,
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Fine": 0.57, "MixerBalance": 0.5,
        "FilterCutoff": 0.09, "FilterResonance": 0.3, "ModMCutoff": 0.5,
        "AmplifierGain": 0.2,
        "ChorusWet": 0.5, "ChorusDepth": 0.4, "ChorusRate": 0.06,
        "DelayTime": 0.45, "DelayFeedback": 0.3, "DelayWet": 0.18,
    }, {}),
    ("Swell Pad", {
        # Slow strings: saw and a pulse a few cents apart, a half-second
        # attack, the cutoff breathing with a slow LFO, phaser, chorus and
        # echo for width and tail. Its recorded bend lifts the
        # cutoff over the first two seconds of a phrase and lets it sink.
        "AmpEnvAttack": 0.35, "AmpEnvDecay": 0.6, "AmpEnvSustain": 0.8, "AmpEnvRelease": 0.03,
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Position": 0.3, "Osc2Fine": 0.43, "MixerBalance": 0.5,
        "LFO1Speed": 0.08, "ModL1Cutoff": 0.3,
        "FilterCutoff": 0.1, "FilterResonance": 0.25,
        "AmplifierGain": 0.18,
        "PhaserWet": 0.4, "PhaserModRate": 0.2, "PhaserFeedback": 0.4,
        "ChorusWet": 0.6, "ChorusDepth": 0.6, "ChorusRate": 0.04,
        "DelayTime": 0.42, "DelayFeedback": 0.35, "DelayWet": 0.15,
    }, {
        # Up from the stored 0.1 to 0.3 (about 3.3 kHz) in 1.2 s and back.
        "FilterCutoff": knob_motion([(0.0, 0.1), (1.2, 0.3), (2.3, 0.1)]),
    }),
    ("Round Bass", {
        # A saw with a square an octave down, a low resonant filter plucked
        # open by the modulation envelope and a touch of drive; dry.
        "AmpEnvDecay": 0.4, "AmpEnvSustain": 0.7, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.25, "ModEnvSustain": 0.0, "ModEnvRelease": 0.1,
        "Osc1Wave": SAW, "Osc2Wave": SQU, "Osc2Coarse": 0.26, "MixerBalance": 0.45,
        "SaturatorDrive": 0.08,
        "FilterCutoff": 0.035, "FilterResonance": 0.45, "ModMCutoff": 0.45,
        "AmplifierGain": 0.14,
    }, {}),
    ("Saw Lead", {
        # Two saws an octave apart with a slight detune, gentle vibrato from
        # LFO2 (a linear pitch offset, so it is subtle on high notes and wider
        # on low ones), some drive and an eighth-note echo.
        "AmpEnvAttack": 0.05, "AmpEnvSustain": 0.85, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.4, "ModEnvSustain": 0.4,
        "LFO2Speed": 0.3, "ModL2Pitch": 0.035,
        "Osc1Wave": SAW, "Osc2Wave": SAW, "Osc2Coarse": 0.76, "Osc2Fine": 0.53, "MixerBalance": 0.35,
        "SaturatorDrive": 0.05,
        "FilterCutoff": 0.2, "FilterResonance": 0.35, "ModMCutoff": 0.45,
        "AmplifierGain": 0.15,
        "DelaySync": ON, "DelayTime": DIV_1_8, "DelayFeedback": 0.35, "DelayWet": 0.22,
    }, {}),
    ("Glass Pluck", {
        # A short pluck: a narrow pulse over a sine an octave up, the filter
        # snapping shut with the modulation envelope, the pulse width swept
        # by it too, and an eighth-note echo (0.3 s, free) that carries the
        # notes on.
        "AmpEnvDecay": 0.38, "AmpEnvSustain": 0.0, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.22, "ModEnvSustain": 0.0,
        "Osc1Wave": SAW, "Osc1Position": 0.35, "Osc2Wave": SIN, "Osc2Coarse": 0.76, "MixerBalance": 0.4,
        "ModMPosition": 0.5,
        "FilterCutoff": 0.06, "FilterResonance": 0.4, "ModMCutoff": 0.65,
        "AmplifierGain": 0.18,
        "DelayTime": 0.3, "DelayFeedback": 0.4, "DelayWet": 0.3,
    }, {}),
    ("Tine Piano", {
        # Electric-piano keys: a sine with a sine an octave up, and ring
        # modulation of the two (sidebands at the note and its third
        # harmonic, so still harmonic) fading with the modulation envelope
        # for the bark of the attack; a long decay, phaser and chorus.
        "AmpEnvDecay": 0.75, "AmpEnvSustain": 0.15, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.3, "ModEnvSustain": 0.0,
        "Osc1Wave": SIN, "Osc2Wave": SIN, "Osc2Coarse": 0.76, "MixerBalance": 0.3,
        "ModMRingMod": 0.6,
        "FilterCutoff": 0.3, "FilterResonance": 0.1,
        "AmplifierGain": 0.3,
        "PhaserWet": 0.3, "PhaserModRate": 0.3,
        "ChorusWet": 0.4, "ChorusDepth": 0.3, "ChorusRate": 0.05,
    }, {}),
    ("Gate Arp", {
        # Arpeggiated: LFO1 runs a square locked to the song at sixteenths
        # and flips the mixer between the note (Osc1) and its octave (Osc2),
        # and pumps the cutoff with it; a dotted-eighth echo (0.45 s, free)
        # fills the gaps.
        "AmpEnvDecay": 0.5, "AmpEnvSustain": 0.6, "AmpEnvRelease": 0.03,
        "LFO1Sync": ON, "LFO1Speed": DIV_1_16, "LFO1Wave": SQU,
        "ModL1Balance": 1.0, "ModL1Cutoff": 0.35,
        "Osc1Wave": SAW, "Osc2Wave": SQU, "Osc2Coarse": 0.76, "MixerBalance": 0.5,
        "FilterCutoff": 0.15, "FilterResonance": 0.5,
        "AmplifierGain": 0.15,
        "DelayTime": 0.45, "DelayFeedback": 0.4, "DelayWet": 0.25,
    }, {}),
    ("Ring Bell", {
        # Bells: a sine ring-modulated by a triangle an octave and a fifth
        # up; the sidebands fall near the 2nd and 4th harmonics but beat
        # against them (the fifth is equal-tempered), and the triangle's
        # overtones add inharmonic partials. Struck and left to decay, with
        # a free echo that rings on after the notes end.
        "AmpEnvDecay": 0.6, "AmpEnvSustain": 0.0, "AmpEnvRelease": 0.03,
        "Osc1Wave": SIN, "Osc2Wave": TRI, "Osc2Coarse": 0.9, "MixerRingMod": 0.75,
        "FilterCutoff": 0.45,
        "AmplifierGain": 0.2,
        "ChorusWet": 0.3, "ChorusDepth": 0.5, "ChorusRate": 0.08,
        "DelayTime": 0.36, "DelayFeedback": 0.45, "DelayWet": 0.25,
    }, {}),
    ("Chip Crush", {
        # Eight-bit lead: a narrow pulse and a square, the digital stage at
        # nine bits and a fifth of the sample rate, a quick pitch blip from
        # the modulation envelope at each note's start.
        "AmpEnvDecay": 0.3, "AmpEnvSustain": 0.6, "AmpEnvRelease": 0.03,
        "ModEnvDecay": 0.08, "ModEnvSustain": 0.0, "ModMPitch": 0.12,
        "Osc1Wave": SAW, "Osc1Position": 0.55, "Osc2Wave": SQU, "Osc2Coarse": 0.76, "MixerBalance": 0.3,
        "FilterCutoff": 0.6,
        "AmplifierGain": 0.17,
        "DigiCrush": 0.8, "DigiRate": 0.05,
        "DelaySync": ON, "DelayTime": DIV_1_8, "DelayFeedback": 0.25, "DelayWet": 0.2,
    }, {}),
    ("Wah Clav", {
        # A band-pass clavinet: a bright digital wave through a resonant
        # band-pass whose centre the recorded bend sweeps up and back down
        # over each phrase like a wah pedal.
        "AmpEnvDecay": 0.45, "AmpEnvSustain": 0.35, "AmpEnvRelease": 0.03,
        "Osc1Wave": DIG3, "Osc2Wave": SAW, "Osc2Fine": 0.56, "MixerBalance": 0.4,
        "SaturatorDrive": 0.06,
        "FilterMode": BP, "FilterCutoff": 0.08, "FilterResonance": 0.6,
        "AmplifierGain": 0.2,
        "PhaserWet": 0.25,
        "DelaySync": ON, "DelayTime": DIV_1_4, "DelayFeedback": 0.3, "DelayWet": 0.15,
    }, {
        # Two wah strokes per bar of the demo: 550 Hz up to 2.4 kHz and back.
        "FilterCutoff": knob_motion([(0.0, 0.05), (0.6, 0.22), (1.2, 0.05), (1.8, 0.22), (2.35, 0.05)]),
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


def bank_chunk(patches, slots=32):
    blocks = [program_block(*p) for p in patches]
    blocks += [program_block("-- empty --", {}, {})] * (slots - len(blocks))
    return b"vqbk" + be32(1) + be32(slots) + b"".join(blocks)


def fxb(chunk, programs=32, current=0):
    unique_id = b"zkvq"
    plugin_version = 1
    body = (b"FBCh" + be32(2) + unique_id + be32(plugin_version) + be32(programs)
            + be32(current).ljust(128, b"\0") + be32(len(chunk)) + chunk)
    return b"CcnK" + be32(len(body)) + body


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples", "factory.fxb")
    with open(out, "wb") as f:
        f.write(fxb(bank_chunk(PATCHES)))


if __name__ == "__main__":
    main()
